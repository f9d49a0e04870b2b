#!/usr/bin/env bash
# Usage: bash Bootstrapper/scripts/setup.sh
#
# Makes a Debian 12 machine ready to build and test the bootstrapper, as root.
# Safe to run again: it installs only what is missing. When the mirror cannot serve a
# 32-bit index of the security or update suites, it installs all but Wine and says so:
# test.sh and demo.sh then run what needs Wine in a fresh Debian root of the release's own
# archive (fresh_root.sh's with_wine).
set -euo pipefail
source "$(dirname "$0")/preamble.sh"

source "$here/debian_packages.sh"

packages=(
  cmake make g++ libgtest-dev googletest
  g++-mingw-w64-i686-win32 binutils-mingw-w64-i686 mingw-w64-tools
  "${wine_packages[@]}"
  msitools wixl
  xvfb xauth xdotool imagemagick
  locales python3 python3-pytest python3-pefile python3-yaml man-db
  clang clang-tidy cppcheck libclang-rt-14-dev
  osslsigncode openssl
  pkg-config libmsi-dev libglib2.0-dev libgsf-1-dev
  dpkg-dev file debootstrap lintian help2man python3-jsonschema
  chromium fonts-dejavu-core
)
# The browser tests take the mermaid and markdown-it libraries from the npm registry: npm
# from Debian where the machine has no Node.js of its own.
command -v npm >/dev/null || packages+=(nodejs npm)

wine_elsewhere=1 install_missing "${packages[@]}"

# Locales the tests switch between (LC_ALL=de_CH.UTF-8 gives the thread locale 2055, ...).
wanted_locales=(de_DE de_CH de_AT de_LI de_LU fr_FR en_US)
regen=0
for l in "${wanted_locales[@]}"; do
  if ! grep -qi "^${l}\.utf-\?8$" <<<"$(locale -a 2>/dev/null)"; then
    grep -q "^${l}.UTF-8 UTF-8" /etc/locale.gen || echo "${l}.UTF-8 UTF-8" >> /etc/locale.gen
    regen=1
  fi
done
if [ "$regen" = 1 ]; then log "generating locales"; locale-gen >/dev/null; fi

# Also without Wine here: the fresh roots' Wine runs on this kernel (libclang-rt's 32-bit
# libc brings the loader the check runs).
run_32bit_programs
if host_runs_wine; then log "ready"; else log "ready, without Wine"; fi
