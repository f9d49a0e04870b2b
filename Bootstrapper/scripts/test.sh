#!/usr/bin/env bash
# Usage: bash Bootstrapper/scripts/test.sh
#
# Sets the machine up, builds both flavours and runs every test: host unit tests (plain
# and under AddressSanitizer/UndefinedBehaviorSanitizer), the static analysers and fuzz
# targets, then the Windows build, a check that it builds into the same bytes twice, its
# release folder, the Debian package of the Linux tools (installed into a fresh Debian 12
# root), the author pages' shell examples (in another, the tools installed from the clone)
# and the end-to-end tests under Wine (in a fresh Debian root where setup.sh could not
# install Wine here).
set -euo pipefail
source "$(dirname "$0")/preamble.sh"
build="$build_root"
jobs=$(nproc)

bash "$here/setup.sh"
source "$here/debian_packages.sh"
source "$here/fresh_root.sh"

echo "== host build and unit tests"
cmake -S "$project" -B "$build/host" -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$build/host" -j "$jobs"
ctest --test-dir "$build/host" --output-on-failure -j "$jobs"

echo "== host unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S "$project" -B "$build/host-sanitize" -DCMAKE_BUILD_TYPE=Debug -DBOOTSTRAPPER_SANITIZE=ON >/dev/null
cmake --build "$build/host-sanitize" -j "$jobs"
ctest --test-dir "$build/host-sanitize" --output-on-failure -j "$jobs"

bash "$here/analyze.sh"

bash "$here/fuzz.sh"

bash "$here/build-windows.sh"

bash "$here/check-reproducible.sh" Bootstrapper.exe BootstrapperCheck.exe bootstrapper-tools.deb

echo "== release folder"
rm -rf "$build/release"
bash "$here/release.sh" >/dev/null
archive=$(find "$build/release" -name 'Bootstrapper-*.zip')
listed=$(python3 -m zipfile -l "$archive" | awk 'NR > 1 && $1 !~ /\/$/ { sub(/^[^\/]*\//, "", $1); printf " %s", $1 }')
if [ "$listed" != " Bootstrapper.exe BootstrapperCheck.exe ReadMe.txt SHA256SUMS Setup.ini check-report.schema.json" ]; then
  echo "test: $archive holds:$listed" >&2
  exit 1
fi
(cd "${archive%.zip}" && sha256sum --quiet -c SHA256SUMS)
echo "release folder ok: ${archive##*/}"

echo "== the Debian package of the Linux tools on a fresh Debian 12"
bash "$here/check-deb.sh"

echo "== the author pages' examples on a fresh Debian 12, with the tools installed from the clone"
bash "$here/check-pages.sh"

echo "== end-to-end tests under Wine (the checker's cases without Wine ran with the unit tests)"
rm -rf "$build/e2e-tmp"
# From the registry here, where this machine's certificates and proxy reach it.
python3 "$here/headless_chromium.py" libraries
export BOOTSTRAPPER_WIN_BUILD="$build/win" BOOTSTRAPPER_HOST_BUILD="$build/host"
e2e=$(printf '%q ' /usr/bin/python3 -m pytest -q -p no:cacheprovider -m "not host" --basetemp="$build/e2e-tmp" "$project/tests/e2e")
with_wine "$e2e"
