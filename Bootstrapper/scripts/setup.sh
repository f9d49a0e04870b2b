#!/usr/bin/env bash
# Usage: bash Bootstrapper/scripts/setup.sh
#
# Makes a Debian 12 machine ready to build and test the bootstrapper, as root.
# Safe to run again: it installs only what is missing.
set -euo pipefail
source "$(dirname "$0")/preamble.sh"

log() { printf '[setup] %s\n' "$*"; }

packages=(
  cmake make g++ libgtest-dev googletest
  g++-mingw-w64-i686-win32 binutils-mingw-w64-i686 mingw-w64-tools
  wine wine32:i386 wine64
  msitools wixl
  xvfb xauth xdotool imagemagick
  locales python3 python3-pytest python3-pefile
  clang clang-tidy cppcheck libclang-rt-14-dev
  osslsigncode openssl
  pkg-config libmsi-dev libglib2.0-dev libgsf-1-dev
  dpkg-dev file debootstrap lintian help2man python3-jsonschema
)

# A mirror in the middle of a sync can serve an index that does not match its Release
# file: apt leaves that index out and fails. Such a sync ends within minutes: tried five
# times over about four minutes, then the index is named with what to do. Nothing is
# installed without it: the 32-bit libraries would not match the security updates of the
# 64-bit ones, and a fallback to the release's own versions would leave those updates out.
update_indexes() {
  local attempt output failed
  for attempt in 1 2 3 4 5; do
    output=$(apt-get update -q 2>&1) && return 0
    failed=$(sed -n 's/^E: Failed to fetch \([^ ]*\).*/\1/p' <<<"$output" | paste -sd' ')
    log "apt-get update, try $attempt of 5: ${failed:-an index} failed to download"
    [ "$attempt" = 5 ] || sleep $((attempt * 15))
  done
  printf '%s\n' "$output" | grep '^[EW]:' >&2 || true
  fail "the package index ${failed:-of a suite} cannot be read (a mirror in the middle of a sync says \"File has unexpected size\" or \"Mirror sync in progress?\"): run setup.sh again in a few minutes, or name another Debian mirror in /etc/apt/sources.list.d/ (or /etc/apt/sources.list); nothing was installed"
}

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  log "installing: ${missing[*]}"
  dpkg --add-architecture i386
  update_indexes
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

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

# The program is 32-bit. Some kernels run 64-bit user code only; there the 32-bit Wine
# loader runs under qemu's user-mode emulator, registered for i386 ELF files. The
# emulator must honour MAP_FIXED_NOREPLACE (qemu 8.1 and later), or every Wine start
# spends a minute probing the address space, so it comes from the next Debian release.
if ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  qemu=/usr/local/lib/bootstrapper/qemu-i386
  if [ ! -x "$qemu" ]; then
    log "32-bit programs cannot run natively: fetching qemu-i386"
    work=/var/cache/bootstrapper-qemu
    mkdir -p "$work/lists/partial" "$work/archives/partial" "$(dirname "$qemu")"
    # The mirror this machine already uses, with the next release's suite.
    uri=$(grep -h -m1 -oP '^URIs:\s*\K\S+' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -n1 || true)
    [ -n "$uri" ] || uri=$(grep -h -m1 -oP '^deb\s+(\[[^]]*\]\s+)?\K\S+' /etc/apt/sources.list 2>/dev/null | head -n1)
    echo "deb [arch=amd64 signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $uri trixie main" > "$work/sources.list"
    opts=(-o Dir::Etc::SourceList="$work/sources.list" -o Dir::Etc::SourceParts=/dev/null
          -o Dir::State::Lists="$work/lists" -o Dir::Cache::Archives="$work/archives"
          -o APT::Sandbox::User=root)
    apt-get "${opts[@]}" update -q
    (cd "$work" && rm -f qemu-user_*.deb && apt-get "${opts[@]}" download qemu-user)
    rm -rf "$work/x" && dpkg-deb -x "$work"/qemu-user_*.deb "$work/x"
    install -m 755 "$work/x/usr/bin/qemu-i386" "$qemu"
    rm -rf "$work/x"
  fi
  mountpoint -q /proc/sys/fs/binfmt_misc || mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
  entry=/proc/sys/fs/binfmt_misc/qemu-i386
  if [ -e "$entry" ] && ! grep -q "interpreter $qemu" "$entry"; then echo -1 > "$entry"; fi
  if [ ! -e "$entry" ]; then
    echo ":qemu-i386:M::\\x7fELF\\x01\\x01\\x01\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x02\\x00\\x03\\x00:\\xff\\xff\\xff\\xff\\xff\\xfe\\xfe\\x00\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xfe\\xff\\xff\\xff:$qemu:FP" \
      > /proc/sys/fs/binfmt_misc/register
  fi
  /lib/ld-linux.so.2 --version >/dev/null 2>&1 || { echo "32-bit programs still cannot run" >&2; exit 1; }
fi
log "ready"
