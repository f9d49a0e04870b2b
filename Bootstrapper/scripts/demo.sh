#!/usr/bin/env bash
# Usage: bash Bootstrapper/scripts/demo.sh
#
# The main job on the bundled demo, the way a package author does it: builds the program and
# the authors' tools, builds the demo product with wixl in English and in German, makes the
# release folder with bootstrapper-pack (the German transform, Setup.ini with one
# prerequisite gated on a registry value, the demo's prerequisite program, the check,
# SHA256SUMS and the zip) and installs it under Wine with bootstrapper-try in a fresh
# prefix (in a fresh Debian root where setup.sh could not install Wine here): the language
# dialog, saved with its list open, answered with Deutsch, and the German product
# registered. Beside dialog.png in build/demo it leaves what an author looks
# at: try.html, try's page with every window the customer saw (and try.png, the page as
# Chromium shows it), plan.md, the check's Markdown report, and plan.png, its diagram as
# the mermaid library draws it.
set -euo pipefail
source "$(dirname "$0")/preamble.sh"
build="$build_root"

bash "$here/setup.sh"
source "$here/debian_packages.sh"
source "$here/fresh_root.sh"
bash "$here/build-windows.sh"
echo "== host build of the checker and the transform generator"
cmake -S "$project" -B "$build/host" -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$build/host" --target bootstrapper-check bootstrapper-transform -j "$(nproc)" >/dev/null
# The tools of this checkout, not installed ones.
export BOOTSTRAPPER_HOST_BUILD="$build/host" BOOTSTRAPPER_WIN_BUILD="$build/win"
export LC_ALL="${LC_ALL:-en_US.UTF-8}"

demo="$build/demo"
rm -rf "$demo"
mkdir -p "$demo/builds"
echo "== building the demo product in English and in German"
(cd "$project/demo" && wixl -o "$demo/builds/DemoProduct.msi" DemoProduct.wxs &&
  wixl -D German=1 -o "$demo/builds/DemoProduct-1031.msi" DemoProduct.wxs)

echo "== bootstrapper-pack"
"$project/tools/bootstrapper-pack" --msi "$demo/builds/DemoProduct.msi" \
  --language-build 1031="$demo/builds/DemoProduct-1031.msi" --setup-ini "$project/demo/Setup.ini" \
  --file DemoRuntime.exe="$build/win/DemoRuntime.exe" "$demo/package"

echo "== bootstrapper-try --language=Deutsch"
try=$(printf '%q ' "$project/tools/bootstrapper-try" --language=Deutsch --screenshot "$demo/dialog.png" \
  --format=html --output "$demo/try.html" "$demo/package")
with_wine "$try"

echo "== the pictures"
"$build/host/bootstrapper-check" --format=markdown "$demo/package" >"$demo/plan.md"
python3 "$here/headless_chromium.py" diagram "$demo/plan.md" "$demo/plan.png"
python3 "$here/headless_chromium.py" page "$demo/try.html" "$demo/try.png"
echo "== the language dialog: $demo/dialog.png"
echo "== try's page: $demo/try.html (as shown: $demo/try.png)"
echo "== the plan: $demo/plan.md, its diagram: $demo/plan.png"
