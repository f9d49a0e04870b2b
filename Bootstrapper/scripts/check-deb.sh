#!/usr/bin/env bash
# Usage: bash Bootstrapper/scripts/check-deb.sh [PACKAGE.deb]
#
# Shows that the Debian package of the Linux tools is one a distribution would accept and
# that it installs on a fresh Debian 12 and runs there: lintian checks it first (an error
# fails, warnings are shown), then it makes a minimal Debian 12 root with debootstrap (from
# the mirror this machine uses), installs man-db and the package into it with apt, which
# must find every dependency the package declares, and runs each tool the package puts in
# /usr/bin with --version and --help, shows its manual page with man, checks that it has
# its bash completion, checks the demo's package folder with bootstrapper-check, and packs
# the demo's two builds with bootstrapper-pack and the Bootstrapper.exe the package brings. As
# root, with the network: it downloads a base system the first time (about 150 s; later
# runs about 20 to 90 s).
#
# Without an argument it checks the package release.sh left in build/release. The root
# stays in build/check-deb/root for a look until the next run; the base system's packages
# are kept in build/check-deb-cache, so that a second run downloads only what the package
# needs.
set -euo pipefail
source "$(dirname "$0")/script_help.sh"
here=$(cd "$(dirname "$0")" && pwd)
project=$(dirname "$here")
repo=$(dirname "$project")
build="${BOOTSTRAPPER_BUILD_ROOT:-$repo/build}"
started=$SECONDS

fail() { echo "check-deb: $*" >&2; exit 1; }

[ "$(id -u)" -eq 0 ] || fail "run it as root (debootstrap and chroot need it)"
for tool in debootstrap lintian; do
  command -v "$tool" >/dev/null || fail "$tool is missing; run scripts/setup.sh first"
done
if [ "$#" -gt 0 ]; then
  deb=$(realpath "$1")
else
  debs=("$build"/release/*.deb)
  [ "${#debs[@]}" -eq 1 ] && [ -f "${debs[0]}" ] || fail "no single .deb in $build/release: run scripts/release.sh"
  deb=${debs[0]}
fi
[ -f "$deb" ] || fail "$deb is missing"

echo "== lintian ${deb##*/}"
# Every tag with its explanation; errors fail, the warnings the package keeps are shown
# (the README says why each one stays).
lintian_status=0
lintian --fail-on error --tag-display-limit 0 --display-info "$deb" || lintian_status=$?
[ "$lintian_status" -eq 0 ] || fail "lintian finds errors in ${deb##*/}"

# The mirror this machine already uses (as setup.sh finds it).
mirror=$(grep -h -m1 -oP '^URIs:\s*\K\S+' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -n1 || true)
if [ -z "$mirror" ]; then
  mirror=$(grep -h -m1 -oP '^deb\s+(\[[^]]*\]\s+)?\K\S+' /etc/apt/sources.list 2>/dev/null | head -n1 || true)
fi
[ -n "$mirror" ] || fail "no Debian mirror in this machine's apt sources"

work="$build/check-deb"
root="$work/root"
# Whatever is still mounted inside the root (its /proc, or what debootstrap left after a
# failure), innermost first.
unmount() {
  awk -v root="$root" 'index($2, root "/") == 1 { print $2 }' /proc/mounts | sort -r |
    while read -r mount; do umount -l "$mount"; done
}
trap unmount EXIT
unmount
rm -rf --one-file-system "$work"
mkdir -p "$work"

echo "== a minimal Debian 12 from $mirror"
cache="$build/check-deb-cache"
base="$cache/bookworm-minbase.tgz"
mkdir -p "$cache"
if [ ! -f "$base" ]; then
  debootstrap --variant=minbase --make-tarball="$base.part" bookworm "$cache/work" "$mirror" \
    >"$work/debootstrap.log" 2>&1 ||
    { tail -n 20 "$work/debootstrap.log"; fail "debootstrap failed (log: $work/debootstrap.log)"; }
  rm -rf "$cache/work"
  mv "$base.part" "$base"
fi
debootstrap --variant=minbase --unpack-tarball="$base" bookworm "$root" "$mirror" >>"$work/debootstrap.log" 2>&1 ||
  { tail -n 20 "$work/debootstrap.log"; fail "debootstrap failed (log: $work/debootstrap.log)"; }
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount -t proc proc "$root/proc"

echo "== installing ${deb##*/} with apt"
cp "$deb" "$root/tmp/"
chroot "$root" apt-get update -q >/dev/null
chroot "$root" env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y -q --no-install-recommends man-db "/tmp/${deb##*/}" >"$work/install.log" 2>&1 ||
  { tail -n 20 "$work/install.log"; fail "apt could not install the package (log: $work/install.log)"; }

echo "== running each tool"
package=$(dpkg-deb --field "$deb" Package)
mapfile -t tools < <(chroot "$root" dpkg -L "$package" | sed -n 's|^/usr/bin/||p' | sort)
[ "${#tools[@]}" -gt 0 ] || fail "$package puts no tool into /usr/bin"
for tool in "${tools[@]}"; do
  version=$(chroot "$root" "$tool" --version) || fail "$tool --version failed"
  [[ "$version" == "$tool "* ]] || fail "$tool --version printed \"$version\", not \"$tool VERSION\""
  chroot "$root" "$tool" --help >/dev/null || fail "$tool --help failed"
  page=$(chroot "$root" env MANWIDTH=80 man -P cat "$tool" 2>&1) || fail "man $tool failed: $page"
  grep -q "^NAME" <<<"$page" || fail "man $tool shows no manual page"
  [ -f "$root/usr/share/bash-completion/completions/$tool" ] || fail "$tool has no bash completion"
  echo "$version: --help, man and bash completion"
done
# The demo's folder, as demo.sh assembles it, with a stand-in for its prerequisite.
folder="$root/tmp/demo"
mkdir -p "$folder/Languages"
wixl -o "$folder/DemoProduct.msi" "$project/demo/DemoProduct.wxs"
cp "$project/demo/Setup.ini" "$folder/"
printf 'MZ' >"$folder/DemoRuntime.exe"
status=0
chroot "$root" sh -c 'cd /tmp && bootstrapper-check --format=json demo' >"$work/check.json" || status=$?
[ "$status" -eq 0 ] || { cat "$work/check.json"; fail "the check of the demo folder ended with $status"; }
/usr/bin/python3 - "$work/check.json" "$root/usr/share/bootstrapper-tools/check-report.schema.json" <<'EOF'
import json
import sys

import jsonschema

report = json.load(open(sys.argv[1], encoding="utf-8"))
# The report as the schema the package ships documents it.
jsonschema.Draft202012Validator(json.load(open(sys.argv[2], encoding="utf-8"))).validate(report)
assert report["findings"] == [], report["findings"]
assert report["plan"]["package"]["productVersion"], report["plan"]
EOF
# The author's path with the installed tools alone: the demo's two builds (made here, as
# wixl is the author's own tool) packed into a checked release folder with the
# Bootstrapper.exe the package brings, and every Windows program bootstrapper-try runs
# under Wine found where the installed tools look for it.
builds="$root/tmp/builds"
mkdir -p "$builds"
wixl -o "$builds/DemoProduct.msi" "$project/demo/DemoProduct.wxs"
wixl -D German=1 -o "$builds/DemoProduct-1031.msi" "$project/demo/DemoProduct.wxs"
demo=/usr/share/bootstrapper-tools/demo
chroot "$root" sh -c "cd /tmp && bootstrapper-pack --msi builds/DemoProduct.msi \
  --language-build 1031=builds/DemoProduct-1031.msi --setup-ini $demo/Setup.ini \
  --file DemoRuntime.exe=$demo/DemoRuntime.exe dist/DemoProduct" >"$work/pack.log" 2>&1 ||
  { cat "$work/pack.log"; fail "bootstrapper-pack could not pack the demo with the installed tools"; }
for made in dist/DemoProduct/Languages/1031.mst dist/DemoProduct/Bootstrapper.exe dist/DemoProduct.zip; do
  [ -f "$root/tmp/$made" ] || { cat "$work/pack.log"; fail "bootstrapper-pack made no $made"; }
done
chroot "$root" bash /usr/share/bootstrapper-tools/sign.sh --help >/dev/null ||
  fail "the installed sign.sh, which bootstrapper-pack signs with, does not run"
echo "bootstrapper-pack packs the demo's two builds with the installed tools"
chroot "$root" python3 - <<'EOF' || fail "bootstrapper-try does not find the Windows programs it runs"
import sys

sys.path.insert(0, "/usr/share/bootstrapper-tools")
from tool_support import windows_program

for name in ("Bootstrapper.exe", "launcher.exe", "product_info.exe"):
    print(f"bootstrapper-try finds {windows_program(name)}")
EOF
echo "check-deb: ${deb##*/} installs on a fresh Debian 12, checks the demo folder and packs the demo ($((SECONDS - started)) s)"
