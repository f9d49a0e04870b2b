#!/usr/bin/env bash
# The figures quoted about the product: the size of Bootstrapper.exe and, with
# --time-tests, how long the whole test command takes on this machine.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
project=$(dirname "$here")
repo=$(dirname "$project")
build="${BOOTSTRAPPER_BUILD_ROOT:-$repo/build}"

bash "$here/build-windows.sh" >/dev/null
exe="$build/win/Bootstrapper.exe"
echo "Bootstrapper.exe: $(stat -c %s "$exe") bytes ($(( ($(stat -c %s "$exe") + 1023) / 1024 )) KiB)"
echo "imports: $(i686-w64-mingw32-objdump -p "$exe" | sed -n 's/.*DLL Name: //p' | tr '\n' ' ')"

if [ "${1:-}" = "--time-tests" ]; then
  start=$(date +%s)
  bash "$here/test.sh" > "$build/figures-test.log" 2>&1
  end=$(date +%s)
  echo "test command: $(( end - start )) s ($(tail -n 1 "$build/figures-test.log"))"
fi
