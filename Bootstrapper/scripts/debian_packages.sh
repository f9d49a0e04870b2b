# shellcheck shell=bash
# The Debian packages of setup.sh and install-tools.sh, sourced after preamble.sh:
#   log TEXT...                 a line of progress, [NAME] TEXT, NAME the script's
#   wine_packages               Wine with its 32-bit half, as the package lists name it
#   install_missing PACKAGE...  installs with apt those not installed (with what they depend
#                               on, without recommendations), adding the i386 architecture
#                               first when one is PACKAGE:i386; with wine_elsewhere=1 set,
#                               a mirror that cannot serve a 32-bit index of the security
#                               or update suites leaves Wine out instead of failing
#   host_runs_wine              whether Wine with its 32-bit half is installed here
#   run_32bit_programs          makes sure 32-bit programs (Wine's 32-bit half) run

log() { printf '[%s] %s\n' "$(basename "$0" .sh)" "$*"; }

wine_packages=(wine wine32:i386 wine64)

# A mirror in the middle of a sync can serve an index that does not match its Release
# file: apt leaves that index out and fails. Such a sync ends within minutes: tried five
# times over about four minutes. Sets unread_indexes to the indexes that could not be read.
update_indexes() {
  local attempt output
  for attempt in 1 2 3 4 5; do
    output=$(apt-get update -q 2>&1) && { unread_indexes=""; return 0; }
    unread_indexes=$(sed -n 's/^E: Failed to fetch \([^ ]*\).*/\1/p' <<<"$output" | paste -sd' ')
    log "apt-get update, try $attempt of 5: ${unread_indexes:-an index} failed to download"
    [ "$attempt" = 5 ] || sleep $((attempt * 15))
  done
  printf '%s\n' "$output" | grep '^[EW]:' >&2 || true
  return 1
}

# Without a 32-bit index of the security or update suites, the 32-bit libraries Wine needs
# would not match the security updates of the 64-bit ones this machine has, and a fallback
# to the release's own versions would take those updates away. Everything else installs.
only_32bit_updates_unread() {
  local index
  [ -n "$unread_indexes" ] || return 1
  for index in $unread_indexes; do
    [[ $index =~ /dists/[^/]+-(security|updates)/[^/]+/binary-i386/ ]] || return 1
  done
}

unreadable() {
  echo "the package index ${unread_indexes:-of a suite} cannot be read (a mirror in the middle of a sync says \"File has unexpected size\" or \"Mirror sync in progress?\")"
}

install_missing() {
  local package missing=() kept=()
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
  done
  [ "${#missing[@]}" -gt 0 ] || return 0
  [ "$(id -u)" -eq 0 ] || fail "run it as root: apt-get installs ${missing[*]}"
  log "installing: ${missing[*]}"
  case " ${missing[*]}" in *:i386*) dpkg --add-architecture i386 ;; esac
  if ! update_indexes; then
    if [ "${wine_elsewhere:-0}" != 1 ] || ! only_32bit_updates_unread; then
      fail "$(unreadable): run $(basename "$0") again in a few minutes, or name another Debian mirror in /etc/apt/sources.list.d/ (or /etc/apt/sources.list); nothing was installed"
    fi
    for package in "${missing[@]}"; do
      [[ " ${wine_packages[*]} " == *" $package "* ]] || kept+=("$package")
    done
    log "$(unreadable): installing all but Wine (${wine_packages[*]}); what needs Wine runs in a fresh Debian root of the release's own archive"
    [ "${#kept[@]}" -gt 0 ] || return 0
    missing=("${kept[@]}")
  fi
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

host_runs_wine() {
  dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'
}

# The program is 32-bit. Some kernels run 64-bit user code only; there the 32-bit Wine
# loader runs under qemu's user-mode emulator, registered for i386 ELF files. The
# emulator must honour MAP_FIXED_NOREPLACE (qemu 8.1 and later), or every Wine start
# spends a minute probing the address space, so it comes from the next Debian release.
run_32bit_programs() {
  /lib/ld-linux.so.2 --version >/dev/null 2>&1 && return 0
  local qemu work uri opts entry
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
  /lib/ld-linux.so.2 --version >/dev/null 2>&1 || fail "32-bit programs still cannot run"
}
