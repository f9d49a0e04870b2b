#!/usr/bin/env bash
# Usage: bash Bootstrapper/scripts/check-deb.sh [PACKAGE.deb]
#
# Shows that the Debian package of the Linux tools is one a distribution would accept and
# that it installs on a fresh Debian 12 and runs there: lintian checks it first (an error
# fails, warnings are shown), then it makes a minimal Debian 12 root with debootstrap (from
# the mirror this machine uses), installs man-db and the package into it with apt, which
# must find every dependency the package declares, and runs each tool the package puts in
# /usr/bin with --version and --help, shows its manual page with man, checks that it has
# its bash completion, checks the demo's package folder with bootstrapper-check, packs
# the demo's two builds with bootstrapper-pack and the Bootstrapper.exe the package brings,
# and checks that bootstrapper-try finds its Windows programs. Then it runs the run: steps
# of Bootstrapper/examples/release-workflow.yml in order in a second fresh root, with only
# what the workflow installs (workflow_steps.py). As root, with the network: it downloads a
# base system the first time (about 150 s), and the workflow's packages (Wine among them)
# each time.
#
# Without an argument it checks the package release.sh left in build/release. The root
# stays in build/check-deb/root for a look until the next run; the base system's packages
# are kept in build/check-deb-cache, so that a second run downloads only what the package
# needs.
set -euo pipefail
source "$(dirname "$0")/preamble.sh"
build="$build_root"
started=$SECONDS

command -v lintian >/dev/null || fail "lintian is missing; run scripts/setup.sh first"
source "$here/fresh_root.sh"
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
# (docs/release.md, "The Debian package", says why each one stays).
lintian_status=0
lintian --fail-on error --tag-display-limit 0 --display-info "$deb" || lintian_status=$?
[ "$lintian_status" -eq 0 ] || fail "lintian finds errors in ${deb##*/}"

work="$build/check-deb"
root="$work/root"
roots_in "$work"
echo "== a minimal Debian 12 from $mirror"
fresh_root "$root"

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
chroot "$root" python3 - <<'EOF' || fail "the installed tools do not find the Windows programs they ship"
import sys

sys.path.insert(0, "/usr/share/bootstrapper-tools")
from tool_support import windows_program

for name in ("Bootstrapper.exe", "BootstrapperCheck.exe", "launcher.exe", "product_info.exe",
             "window_controls.exe", "package_tables.exe"):
    print(f"the tools find {windows_program(name)}")
EOF

# The release workflow of Bootstrapper/examples as an author's CI runs it: its run: steps in
# order, with its environment, in another fresh Debian 12 that has only what the workflow
# installs. The author's repository is the demo product's (product.wxs, its prerequisite
# as redist/Runtime.exe), the examples' pack.ini and Setup.ini and this package where the
# workflow takes the release's package from; the signing secrets are a throwaway
# certificate whose authority the root trusts, as a runner trusts a real one.
echo "== the release workflow's steps in a fresh Debian 12"
workflow="$project/examples/release-workflow.yml"
flow="$work/workflow-root"
fresh_root "$flow"
workspace=/__w/product/product
checkout="$flow$workspace"
mkdir -p "$checkout/redist"
cp "$project/demo/DemoProduct.wxs" "$checkout/product.wxs"
cp "$project/demo/readme.txt" "$project/examples/pack.ini" "$project/examples/Setup.ini" "$checkout/"
cp "$root/usr/share/bootstrapper-tools/demo/DemoRuntime.exe" "$checkout/redist/Runtime.exe"
tools_deb=$(/usr/bin/python3 -c 'import sys, yaml; print(next(iter(yaml.safe_load(open(sys.argv[1]))["jobs"].values()))["env"]["TOOLS_DEB"])' "$workflow")
mkdir -p "$(dirname "$checkout/$tools_deb")"
cp "$deb" "$checkout/$tools_deb"
signing="$work/signing"
mkdir -p "$signing"
SIGNING_PASSWORD=$(head -c 12 /dev/urandom | base64)
export SIGNING_PASSWORD
(
  cd "$signing"
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Throwaway CA" -keyout ca.key -out ca.pem \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign
  openssl req -newkey rsa:2048 -nodes -subj "/CN=Throwaway Signer" -keyout signer.key -out signer.csr
  printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >signer.ext
  openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 -extfile signer.ext -out signer.pem
  openssl pkcs12 -export -inkey signer.key -in signer.pem -certfile ca.pem -out signer.p12 -passout env:SIGNING_PASSWORD
) >"$work/signing.log" 2>&1 || { cat "$work/signing.log"; fail "openssl could not make the throwaway certificate"; }
mkdir -p "$flow/usr/local/share/ca-certificates"
cp "$signing/ca.pem" "$flow/usr/local/share/ca-certificates/throwaway-ca.crt"
SIGNING_PKCS12_BASE64=$(base64 -w0 "$signing/signer.p12")
export SIGNING_PKCS12_BASE64
status=0
/usr/bin/python3 "$here/workflow_steps.py" "$workflow" "$flow" "$workspace" SIGNING_PKCS12_BASE64 SIGNING_PASSWORD \
  2>&1 | tee "$work/workflow.log" || status=$?
[ "$status" -eq 0 ] || fail "a step of the release workflow failed (log: $work/workflow.log)"
for made in dist/Product.zip checker.sarif try.html; do
  [ -f "$checkout/$made" ] || fail "the release workflow made no $made"
done
grep -q 'passed' "$checkout/try.html" || fail "the workflow's try failed (its page: $checkout/try.html)"
# The pack's summary on the job's page: the steps, then the plan as a diagram.
summaries=("$flow"/__w/_temp/_runner_file_commands/step_summary_*)
grep -l '^```mermaid' "${summaries[@]}" >/dev/null || fail "the pack added no plan diagram to the job's summary"
sha256sum "$checkout/dist/Product.zip"
echo "check-deb: ${deb##*/} installs on a fresh Debian 12, checks the demo folder and packs the demo, and the release workflow runs as written ($((SECONDS - started)) s)"
