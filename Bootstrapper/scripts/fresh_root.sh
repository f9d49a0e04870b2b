# shellcheck shell=bash
# Fresh Debian 12 roots for check-deb.sh and check-pages.sh, sourced after preamble.sh. As
# root, with the network. The base system (debootstrap's minbase, from the mirror this
# machine uses) is downloaded once into $build_root/check-deb-cache and unpacked from there.
#   roots_in WORK         every root under WORK is unmounted when the script ends (and
#                         now, what a run before left); WORK is emptied
#   fresh_root ROOT       a minimal Debian 12 in ROOT with /proc and /dev, and the
#                         machine's name servers
# fresh_root sets mirror, the mirror the roots' apt uses.

mirror=$(grep -h -m1 -oP '^URIs:\s*\K\S+' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -n1 || true)
if [ -z "$mirror" ]; then
  mirror=$(grep -h -m1 -oP '^deb\s+(\[[^]]*\]\s+)?\K\S+' /etc/apt/sources.list 2>/dev/null | head -n1 || true)
fi

# Whatever is still mounted inside the roots (their /proc and /dev, or what debootstrap
# left after a failure), innermost first.
unmount_roots() {
  awk -v work="$roots_work" 'index($2, work "/") == 1 { print $2 }' /proc/mounts | sort -r |
    while read -r mount; do umount -l "$mount"; done
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
