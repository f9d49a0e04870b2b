#!/usr/bin/env bash
# Usage: bash Bootstrapper/scripts/figures.sh [--time-tests]
#
# The figures quoted about the product: the size of Bootstrapper.exe per section, its
# imports and, with --time-tests, how long the whole test command takes on this machine.
# Fails when the program is larger than its limit of 24,576 bytes.
set -euo pipefail
source "$(dirname "$0")/preamble.sh"
build="$build_root"
limit=24576

bash "$here/build-windows.sh" >/dev/null
exe="$build/win/Bootstrapper.exe"
size=$(stat -c %s "$exe")
/usr/bin/python3 - "$exe" <<'PY'
import sys

import pefile

pe = pefile.PE(sys.argv[1], fast_load=True)
pe.parse_data_directories([pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_IMPORT"]])
print(f"{'section':<10}{'raw size':>10}{'virtual size':>14}")
print(f"{'(headers)':<10}{pe.OPTIONAL_HEADER.SizeOfHeaders:>10}")
for section in pe.sections:
    name = section.Name.rstrip(b"\0").decode()
    print(f"{name:<10}{section.SizeOfRawData:>10}{section.Misc_VirtualSize:>14}")
print(f"{'total':<10}{len(pe.__data__):>10}")
for entry in pe.DIRECTORY_ENTRY_IMPORT:
    names = " ".join(imp.name.decode() for imp in entry.imports)
    print(f"imports {entry.dll.decode()}: {names}")
PY
echo "Bootstrapper.exe: $size bytes ($(( (size + 1023) / 1024 )) KiB), limit $limit"

if [ "${1:-}" = "--time-tests" ]; then
  start=$(date +%s)
  bash "$here/test.sh" > "$build/figures-test.log" 2>&1
  end=$(date +%s)
  echo "test command: $(( end - start )) s ($(tail -n 1 "$build/figures-test.log"))"
fi

if [ "$size" -gt "$limit" ]; then
  echo "figures: FAILED, Bootstrapper.exe is $(( size - limit )) bytes over its limit of $limit" >&2
  exit 1
fi
