#!/usr/bin/env bash
# Usage: bash Bootstrapper/scripts/bench-checker.sh [--wine]
#
# Times bootstrapper-check on large package folders: one whose Setup.ini holds 20,000
# prerequisite sections, and two whose languages folders hold 20,000 and 40,000 transforms
# (real ones, made by bootstrapper-transform, which the checker reads one by one; the
# copies are hard links). Checking must take time in proportion to the folder (40,000
# transforms in about twice the time of 20,000: compare the CPU times each line gives, as
# the wall times move with the machine's load); each folder must be checked in under
# BOOTSTRAPPER_CHECK_BENCH_LIMIT seconds (default 5; twice that for 40,000 transforms), or
# the script fails. Not part of the test command: the times depend on the machine and its
# load.
#
# bootstrapper-check is built as it ships, optimised (CMAKE_BUILD_TYPE=Release), in
# bench-checker under the build root (BOOTSTRAPPER_BUILD_ROOT, as for test.sh).
# BOOTSTRAPPER_CHECK_BENCH_COUNT changes the 20,000.
#
# With --wine it also times BootstrapperCheck.exe of the Windows build (build/win under
# the build root, or BOOTSTRAPPER_WIN_BUILD) on the prerequisite sections, under Wine in a
# fresh prefix with one persistent wineserver; it must take less than
# BOOTSTRAPPER_CHECK_BENCH_WINE_LIMIT seconds (default 10).
set -euo pipefail
source "$(dirname "$0")/preamble.sh"
build="$build_root/bench-checker"
count="${BOOTSTRAPPER_CHECK_BENCH_COUNT:-20000}"
limit="${BOOTSTRAPPER_CHECK_BENCH_LIMIT:-5}"
checker="$build/bootstrapper-check"
wine_limit="${BOOTSTRAPPER_CHECK_BENCH_WINE_LIMIT:-10}"
windows_checker="${BOOTSTRAPPER_WIN_BUILD:-$build_root/win}/BootstrapperCheck.exe"

cmake -S "$project" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j 2 --target bootstrapper-check bootstrapper-transform >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
wixl -o "$work/Product.msi" "$project/demo/DemoProduct.wxs"
wixl -D German=1 -o "$work/German.msi" "$project/demo/DemoProduct.wxs"
"$build/bootstrapper-transform" "$work/Product.msi" "$work/German.msi" "$work/1031.mst" >/dev/null

python3 - "$work" "$count" <<'EOF'
import os
import pathlib
import shutil
import sys

work, count = pathlib.Path(sys.argv[1]), int(sys.argv[2])

prerequisites = work / "prerequisites"
(prerequisites / "Runtime").mkdir(parents=True)
(prerequisites / "Runtime" / "Setup.exe").write_bytes(b"MZ")
shutil.copy(work / "Product.msi", prerequisites)
sections = ["[Start]\r\nMsiPath=Product.msi\r\n"]
for n in range(count):
    sections.append(f"\r\n[Prereq{n}]\r\nExecute=Runtime\\Setup.exe /quiet /component {n}\r\n"
                    f"CheckKey=SOFTWARE\\Vendor\\Component{n}\r\nCheckValue=Version\r\nCheckContent=1.0\r\n"
                    "ExecuteOkIfResultIs=0\r\n")
(prerequisites / "Setup.ini").write_bytes("".join(sections).encode("cp1252"))

for name, transformCount in (("transforms", count), ("transforms-twice", 2 * count)):
    transforms = work / name
    (transforms / "Languages").mkdir(parents=True)
    shutil.copy(work / "Product.msi", transforms)
    (transforms / "Setup.ini").write_bytes(b"[Start]\r\nMsiPath=Product.msi\r\nLanguagesDir=Languages\r\n")
    shutil.copy(work / "1031.mst", transforms / "Languages" / "1031.mst")
    for n in range(transformCount - 1):
        os.link(work / "1031.mst", transforms / "Languages" / f"{10000 + n}.mst")
EOF

failed=0
for folder in prerequisites transforms transforms-twice; do
  started=$(date +%s%N)
  status=0
  # The CPU time too (the checker's and its children's): on a shared machine the wall
  # times, and so their ratio, move with the load.
  TIMEFORMAT='%U+%S'
  cpu=$( { time "$checker" "$work/$folder" >"$work/$folder.out" 2>"$work/$folder.err"; } 2>&1 ) || status=$?
  milliseconds=$(( ($(date +%s%N) - started) / 1000000 ))
  cat "$work/$folder.err" >&2
  findings=$(grep -c ': \(error\|warning\): ' "$work/$folder.out" || true)
  case "$folder" in
    prerequisites) what="$count prerequisite sections" ;;
    transforms) what="$count transforms" ;;
    *) what="$((2 * count)) transforms" ;;
  esac
  printf '%-40s %d.%02d s  (exit %d, %d findings; CPU %s s)\n' "$what:" \
    $((milliseconds / 1000)) $((milliseconds % 1000 / 10)) "$status" "$findings" "$cpu"
  # Twice the transforms, twice the time.
  folder_limit=$limit
  if [ "$folder" = transforms-twice ]; then
    folder_limit=$((2 * limit))
  fi
  if [ "$status" -gt 1 ] || [ "$milliseconds" -ge $((folder_limit * 1000)) ]; then
    failed=1
  fi
done
if [ "${1:-}" = "--wine" ]; then
  export WINEPREFIX="$work/prefix" WINEDEBUG=-all
  wineboot -i >/dev/null 2>&1
  # One persistent server, started afresh after the first boot's.
  wineserver -k || true
  wineserver -p
  started=$(date +%s%N)
  status=0
  # The CPU time of the program's process too: on a shared machine the wall time is
  # mostly waiting.
  TIMEFORMAT='%U+%S'
  cpu=$( { time (cd "$work/prerequisites" && wine "$windows_checker" >"$work/wine.out" 2>&1); } 2>&1 ) || status=$?
  milliseconds=$(( ($(date +%s%N) - started) / 1000000 ))
  wineserver -k || true
  findings=$(grep -c ': \(error\|warning\): ' "$work/wine.out" || true)
  printf '%-40s %d.%02d s  (exit %d, %d findings; CPU %s s)\n' "$count prerequisite sections, under Wine:" \
    $((milliseconds / 1000)) $((milliseconds % 1000 / 10)) "$status" "$findings" "$cpu"
  if [ "$status" -gt 1 ] || [ "$milliseconds" -ge $((wine_limit * 1000)) ]; then
    echo "bench-checker: BootstrapperCheck.exe took $wine_limit s or more, or could not check" >&2
    failed=1
  fi
fi
if [ "$failed" = 1 ]; then
  echo "bench-checker: a check took longer than allowed ($limit s, twice that for twice the transforms), or could not be made" >&2
fi
exit "$failed"
