#!/usr/bin/env bash
# Usage: bash Bootstrapper/scripts/build-deb.sh BUILD_FOLDER [VERSION [WINDOWS_BUILD]]
#
# Builds the Linux tools as they ship (CMAKE_BUILD_TYPE=Release, the target linux-tools:
# the tools and their manual pages, no tests) in BUILD_FOLDER and makes their Debian
# package there with CPack; prints the package's path last. VERSION becomes the build's
# BOOTSTRAPPER_VERSION (default: the project's version). WINDOWS_BUILD names the Windows
# build whose programs the package holds: Bootstrapper.exe, BootstrapperCheck.exe for
# authors on Windows, and what bootstrapper-pack and bootstrapper-try need (launcher.exe,
# product_info.exe, window_controls.exe, package_tables.exe and the demo's DemoRuntime.exe)
# (default: $BOOTSTRAPPER_BUILD_ROOT/win, which scripts/build-windows.sh makes); without
# them no package is made.
#
# Every time in the package (its files' times, the changelog's date, the manual pages'
# date) is SOURCE_DATE_EPOCH (default: the last commit's time), so the same sources give
# the same bytes in any folder; check-reproducible.sh shows it. The package's maintainer
# and license are cache settings of the build (docs/release.md, "The Debian package").
set -euo pipefail
source "$(dirname "$0")/preamble.sh"

[ "$#" -ge 1 ] && [ "$#" -le 3 ] || { sed -n 2p "$0" >&2; exit 2; }
host=$(realpath -m "$1")
version=${2:-}
windows=$(realpath -m "${3:-$build_root/win}")
for program in Bootstrapper.exe BootstrapperCheck.exe launcher.exe product_info.exe window_controls.exe \
    package_tables.exe DemoRuntime.exe; do
  [ -f "$windows/$program" ] ||
    fail "$program is missing in $windows: bootstrapper-pack and bootstrapper-try need it; run scripts/build-windows.sh or name WINDOWS_BUILD"
done
epoch="${SOURCE_DATE_EPOCH:-$(git -C "$repo" log -1 --format=%ct 2>/dev/null || true)}"
[[ "$epoch" =~ ^[0-9]+$ ]] || fail "no time for the package's files: set SOURCE_DATE_EPOCH (seconds since 1970)"
export SOURCE_DATE_EPOCH="$epoch"

cmake -S "$project" -B "$host" -DCMAKE_BUILD_TYPE=Release -DBOOTSTRAPPER_TESTS=OFF \
  -DBOOTSTRAPPER_VERSION="$version" -DBOOTSTRAPPER_WINDOWS_PROGRAMS="$windows" >/dev/null
cmake --build "$host" --target linux-tools -j "$(nproc)" >/dev/null
rm -rf "$host/package"
(cd "$host" && cpack -G DEB -B "$host/package" >/dev/null)
debs=("$host/package"/*.deb)
[ "${#debs[@]}" -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no single .deb in $host/package"
echo "${debs[0]}"
