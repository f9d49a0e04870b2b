#!/usr/bin/env bash
# Usage: bash Bootstrapper/scripts/build-windows.sh
#
# Cross-builds with mingw-w64, in $BOOTSTRAPPER_BUILD_ROOT/win (default build/win):
# Bootstrapper.exe, BootstrapperCheck.exe (the checker for Windows), the programs
# bootstrapper-try runs under Wine (launcher.exe, product_info.exe, window_controls.exe,
# package_tables.exe), the demo's prerequisite DemoRuntime.exe and the end-to-end tests'
# other programs.
set -euo pipefail
source "$(dirname "$0")/preamble.sh"
build="$build_root"

echo "== Windows build"
cmake -S "$project" -B "$build/win" -DCMAKE_BUILD_TYPE=MinSizeRel \
  -DCMAKE_TOOLCHAIN_FILE="$project/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$build/win" -j "$(nproc)"
ls -l "$build/win/Bootstrapper.exe"
