#!/usr/bin/env bash
# Usage: bash Bootstrapper/scripts/build-windows.sh
#
# Cross-builds Bootstrapper.exe (and the end-to-end test programs) with mingw-w64.
set -euo pipefail
source "$(dirname "$0")/preamble.sh"
build="$build_root"

echo "== Windows build"
cmake -S "$project" -B "$build/win" -DCMAKE_BUILD_TYPE=MinSizeRel \
  -DCMAKE_TOOLCHAIN_FILE="$project/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$build/win" -j "$(nproc)"
ls -l "$build/win/Bootstrapper.exe"
