#!/usr/bin/env bash
# Usage: bash Bootstrapper/scripts/check-reproducible.sh [PROGRAM.exe...] [bootstrapper-tools.deb]
#
# Builds the Windows programs twice from this checkout, in two build folders of different
# names and depths under the build root, and compares them byte for byte: a program must
# not depend on where or when it was built. Arguments: the file names of the programs to
# compare, each built as the target of the same name (default: Bootstrapper.exe), and
# bootstrapper-tools.deb for the Debian package of the Linux tools, made twice by
# build-deb.sh with one SOURCE_DATE_EPOCH (default: the last commit's time).
# BOOTSTRAPPER_BUILD_ROOT sets the build root, as for test.sh.
set -euo pipefail
source "$(dirname "$0")/preamble.sh"
build="$build_root/reproducible"

files=()
deb=0
for file in "$@"; do
  case "$file" in
    *.deb) deb=1 ;;
    *) files+=("$file") ;;
  esac
done
if [ "$#" -eq 0 ]; then
  files=(Bootstrapper.exe)
fi
targets=()
for file in "${files[@]}"; do
  targets+=("${file%.exe}")
done

echo "== reproducible build"
# One time for both builds of the package, as a release has it.
epoch="${SOURCE_DATE_EPOCH:-$(git -C "$repo" log -1 --format=%ct 2>/dev/null || true)}"
[[ "$epoch" =~ ^[0-9]+$ ]] || { echo "check-reproducible: set SOURCE_DATE_EPOCH (seconds since 1970)" >&2; exit 1; }
export SOURCE_DATE_EPOCH="$epoch"
rm -rf "$build"
folders=("$build/first" "$build/second/one-level-deeper")
for folder in "${folders[@]}"; do
  if [ "${#targets[@]}" -gt 0 ]; then
    cmake -S "$project" -B "$folder" -DCMAKE_BUILD_TYPE=MinSizeRel \
      -DCMAKE_TOOLCHAIN_FILE="$project/cmake/mingw-i686.cmake" >/dev/null
    cmake --build "$folder" -j "$(nproc)" --target "${targets[@]}" >/dev/null
  fi
  if [ "$deb" = 1 ]; then
    package=$(bash "$here/build-deb.sh" "$folder/linux-tools" | tail -n 1)
    cp "$package" "$folder/bootstrapper-tools.deb"
  fi
done
if [ "$deb" = 1 ]; then
  files+=(bootstrapper-tools.deb)
fi

failed=0
for file in "${files[@]}"; do
  if difference=$(cmp "${folders[0]}/$file" "${folders[1]}/$file" 2>&1); then
    printf 'reproducible  ok      %s is the same in both build folders\n' "$file"
  else
    failed=1
    printf 'reproducible  FAILED  %s: %s\n' "$file" "$difference"
  fi
done
exit "$failed"
