#!/usr/bin/env bash
# Usage: bash Bootstrapper/scripts/install-tools.sh [--prefix DIR]
#
# Installs the tools for package authors from this clone, in one command, on Debian 12:
#   1. the Debian packages their build and their use need that are missing, with apt, as
#      root (the build: CMake, g++, mingw-w64, libmsi, libgsf, help2man; the use: msitools
#      and wixl, Wine with its 32-bit half (the i386 architecture is added), Xvfb, xdotool,
#      ImageMagick, osslsigncode and openssl);
#   2. builds them optimised and without tests, the unit tests, the test programs or
#      GoogleTest (CMake's preset tools, in $BOOTSTRAPPER_BUILD_ROOT/tools): the Linux
#      tools, and with mingw-w64 Bootstrapper.exe, BootstrapperCheck.exe and the Windows
#      programs bootstrapper-try runs under Wine;
#   3. installs them with cmake --install into DIR (default /usr/local):
#      bootstrapper-check, bootstrapper-transform, bootstrapper-pack and bootstrapper-try in
#      DIR/bin with their manual pages and bash completion, and in
#      DIR/share/bootstrapper-tools what those run on, the Windows programs (windows/,
#      BootstrapperCheck.exe among them) and the demo product (demo/).
# It prints what it installed and how long it took. Run it again after a pull: it installs
# only missing packages and rebuilds only what changed.
set -euo pipefail
source "$(dirname "$0")/preamble.sh"
source "$here/debian_packages.sh"
started=$SECONDS

prefix=/usr/local
while [ "$#" -gt 0 ]; do
  case "$1" in
    --prefix) [ "$#" -ge 2 ] || fail "--prefix needs a folder"; prefix=$2; shift 2 ;;
    --prefix=*) prefix=${1#--prefix=}; shift ;;
    *) fail "unknown argument $1 (install-tools.sh --help tells more)" ;;
  esac
done
[ -n "$prefix" ] || fail "--prefix needs a folder"

packages=(
  cmake make g++ pkg-config libmsi-dev libglib2.0-dev libgsf-1-dev
  g++-mingw-w64-i686-win32 binutils-mingw-w64-i686 mingw-w64-tools
  help2man python3
  msitools wixl
  "${wine_packages[@]}" xvfb xauth xdotool imagemagick
  osslsigncode openssl ca-certificates
)
install_missing "${packages[@]}"
run_32bit_programs

build="$build_root/tools"
log "building the tools in $build"
cmake -S "$project" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBOOTSTRAPPER_TESTS=OFF >/dev/null
cmake --build "$build" --target author-tools -j "$(nproc)" >"$build/install-tools.log" 2>&1 ||
  { tail -n 30 "$build/install-tools.log"; fail "the build failed (log: $build/install-tools.log)"; }
log "installing into $prefix"
cmake --install "$build" --prefix "$prefix" >>"$build/install-tools.log" 2>&1 ||
  { tail -n 30 "$build/install-tools.log"; fail "cmake --install failed (log: $build/install-tools.log)"; }

for tool in bootstrapper-check bootstrapper-transform bootstrapper-pack bootstrapper-try; do
  "$prefix/bin/$tool" --version >/dev/null || fail "the installed $prefix/bin/$tool does not run"
done
log "installed bootstrapper-check, bootstrapper-transform, bootstrapper-pack and bootstrapper-try in $prefix/bin,"
log "and Bootstrapper.exe and BootstrapperCheck.exe in $prefix/share/bootstrapper-tools/windows ($((SECONDS - started)) s)"
