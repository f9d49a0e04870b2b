#!/usr/bin/env bash
# Usage: bash Bootstrapper/scripts/bench-checker.sh
#
# Times bootstrapper-check on two large package folders: one whose Setup.ini holds 20,000
# prerequisite sections, one whose languages folder holds 20,000 transforms (real ones,
# made by bootstrapper-transform, which the checker reads one by one). Checking
# must take time in proportion to the folder; each folder must be checked in under
# BOOTSTRAPPER_CHECK_BENCH_LIMIT seconds (default 5), or the script fails. Not part of the
# test command: the times depend on the machine and its load.
#
# bootstrapper-check is built as it ships, optimised (CMAKE_BUILD_TYPE=Release), in
# bench-checker under the build root (BOOTSTRAPPER_BUILD_ROOT, as for test.sh).
# BOOTSTRAPPER_CHECK_BENCH_COUNT changes the 20,000.
set -euo pipefail
source "$(dirname "$0")/script_help.sh"
here=$(cd "$(dirname "$0")" && pwd)
project=$(dirname "$here")
repo=$(dirname "$project")
build="${BOOTSTRAPPER_BUILD_ROOT:-$repo/build}/bench-checker"
count="${BOOTSTRAPPER_CHECK_BENCH_COUNT:-20000}"
limit="${BOOTSTRAPPER_CHECK_BENCH_LIMIT:-5}"
checker="$build/bootstrapper-check"

cmake -S "$project" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j 2 --target bootstrapper-check bootstrapper-transform >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
wixl -o "$work/Product.msi" "$project/demo/DemoProduct.wxs"
wixl -D German=1 -o "$work/German.msi" "$project/demo/DemoProduct.wxs"
"$build/bootstrapper-transform" "$work/Product.msi" "$work/German.msi" "$work/1031.mst" >/dev/null

python3 - "$work" "$count" <<'EOF'
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

transforms = work / "transforms"
(transforms / "Languages").mkdir(parents=True)
shutil.copy(work / "Product.msi", transforms)
(transforms / "Setup.ini").write_bytes(b"[Start]\r\nMsiPath=Product.msi\r\nLanguagesDir=Languages\r\n")
transform = (work / "1031.mst").read_bytes()
(transforms / "Languages" / "1031.mst").write_bytes(transform)
for n in range(count - 1):
    (transforms / "Languages" / f"{10000 + n}.mst").write_bytes(transform)
EOF

failed=0
for folder in prerequisites transforms; do
  started=$(date +%s%N)
  status=0
  "$checker" "$work/$folder" >"$work/$folder.out" || status=$?
  milliseconds=$(( ($(date +%s%N) - started) / 1000000 ))
  findings=$(grep -c ': \(error\|warning\): ' "$work/$folder.out" || true)
  printf '%-40s %d.%02d s  (exit %d, %d findings)\n' "$count ${folder/prerequisites/prerequisite sections}:" \
    $((milliseconds / 1000)) $((milliseconds % 1000 / 10)) "$status" "$findings"
  if [ "$status" -gt 1 ] || [ "$milliseconds" -ge $((limit * 1000)) ]; then
    failed=1
  fi
done
if [ "$failed" = 1 ]; then
  echo "bench-checker: a check took $limit s or more, or could not be made" >&2
fi
exit "$failed"
