# shellcheck shell=bash
# Fresh Debian 12 roots for check-deb.sh and check-pages.sh, and for test.sh and demo.sh
# where this machine has no Wine; sourced after preamble.sh. As root, with the network.
# The base system (debootstrap's minbase, from the mirror this machine uses) is downloaded
# once into $build_root/check-deb-cache and unpacked from there.
#   roots_in WORK         every root under WORK is unmounted when the script ends (and
#                         now, what a run before left); WORK is emptied
#   fresh_root ROOT       a minimal Debian 12 in ROOT with /proc and /dev, and the
#                         machine's name servers
#   checkout_root ROOT    a fresh root where setup.sh has installed what the builds and the
#                         tests need, Wine among them, with this checkout (read-only) and
#                         the build folder mounted at their own paths: for what needs Wine
#                         where this machine could not install it (see setup.sh)
#   in_root ROOT COMMAND  runs the shell COMMAND in ROOT, in the checkout, with a clean
#                         environment: PATH, HOME, a UTF-8 LANG, and LC_ALL and the
#                         BOOTSTRAPPER_ variables of this one
#   with_wine COMMAND     runs the shell COMMAND here when this machine has Wine
#                         (host_runs_wine, from debian_packages.sh), otherwise in a
#                         checkout_root made afresh in $build_root/wine-root
# The mirror the roots' apt uses is the first this machine names (mirror), with the
# release's own suite only.

mirror=$(grep -h -m1 -oP '^URIs:\s*\K\S+' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -n1 || true)
if [ -z "$mirror" ]; then
  mirror=$(grep -h -m1 -oP '^deb\s+(\[[^]]*\]\s+)?\K\S+' /etc/apt/sources.list 2>/dev/null | head -n1 || true)
fi

# Whatever is still mounted inside the roots (their /proc and /dev, the checkout, or what
# debootstrap left after a failure), innermost first. /proc/mounts writes a space, a tab, a
# line break and a backslash in a path as octal escapes.
mounts_in_roots() {
  awk -v work="$roots_work" '{ gsub(/\\040/, " ", $2); gsub(/\\011/, "\t", $2); gsub(/\\012/, "\n", $2)
    gsub(/\\134/, "\\", $2); if (index($2, work "/") == 1) print $2 }' /proc/mounts | sort -r
}

# A bind mount of the checkout is on the same file system as the root, so rm's
# --one-file-system would not stop at it: nothing is removed while anything is mounted.
unmount_roots() {
  local mount
  mounts_in_roots | while read -r mount; do umount -l "$mount" || true; done
  [ -z "$(mounts_in_roots)" ] || fail "cannot unmount $(mounts_in_roots | paste -sd' '): nothing was removed"
}

roots_in() {
  roots_work=$1
  [ "$(id -u)" -eq 0 ] || fail "run it as root (debootstrap and chroot need it)"
  command -v debootstrap >/dev/null || fail "debootstrap is missing; run scripts/setup.sh first"
  [ -n "$mirror" ] || fail "no Debian mirror in this machine's apt sources"
  trap unmount_roots EXIT
  unmount_roots
  rm -rf --one-file-system "$roots_work"
  mkdir -p "$roots_work"
}

fresh_root() {
  local root=$1 cache="$build_root/check-deb-cache" base
  base="$cache/bookworm-minbase.tgz"
  mkdir -p "$cache"
  if [ ! -f "$base" ]; then
    debootstrap --variant=minbase --make-tarball="$base.part" bookworm "$cache/work" "$mirror" \
      >>"$roots_work/debootstrap.log" 2>&1 ||
      { tail -n 20 "$roots_work/debootstrap.log"; fail "debootstrap failed (log: $roots_work/debootstrap.log)"; }
    rm -rf "$cache/work"
    mv "$base.part" "$base"
  fi
  debootstrap --variant=minbase --unpack-tarball="$base" bookworm "$root" "$mirror" >>"$roots_work/debootstrap.log" 2>&1 ||
    { tail -n 20 "$roots_work/debootstrap.log"; fail "debootstrap failed (log: $roots_work/debootstrap.log)"; }
  cp /etc/resolv.conf "$root/etc/resolv.conf"
  mount -t proc proc "$root/proc"
  mount --bind /dev "$root/dev"
}

checkout_root() {
  local root=$1
  fresh_root "$root"
  # The checkout read-only, so that nothing run in the root changes it, not even a removal
  # of the root while a run that was killed left it mounted; the build folder writable.
  mkdir -p "$root$repo" "$build_root"
  mount --bind "$repo" "$root$repo"
  mount -o remount,bind,ro "$root$repo"
  mkdir -p "$root$build_root"
  mount --bind "$build_root" "$root$build_root"
  echo "== setup.sh in a fresh Debian 12 root of the release's own archive ($root)"
  in_root "$root" "bash Bootstrapper/scripts/setup.sh && apt-get clean" >>"$roots_work/setup.log" 2>&1 ||
    { tail -n 20 "$roots_work/setup.log"; fail "setup.sh failed in $root (log: $roots_work/setup.log)"; }
}

in_root() {
  local root=$1 command=$2 name environment=(PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin HOME=/root LANG=C.UTF-8)
  for name in $(compgen -e); do
    case $name in BOOTSTRAPPER_* | LC_ALL) environment+=("$name=${!name}") ;; esac
  done
  chroot "$root" env -i "${environment[@]}" bash -c "cd \"\$1\" && $command" in_root "$repo"
}

with_wine() {
  if host_runs_wine; then
    (cd "$repo" && eval "$1")
    return
  fi
  echo "(this machine has no Wine, see setup.sh's output: in a fresh Debian root with the checkout mounted)"
  roots_in "$build_root/wine-root"
  checkout_root "$build_root/wine-root/root"
  in_root "$build_root/wine-root/root" "$1"
}
