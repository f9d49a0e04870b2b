#!/usr/bin/env bash
# Usage: bash Bootstrapper/scripts/bench.sh
#
# Measures what Bootstrapper.exe costs beyond the work it cannot avoid: under Wine it runs
# in turns with floor.exe (Bootstrapper/tests/bench), which only reads the package,
# asks Windows Installer for the installed version and starts msiexec. The product is
# installed first, so no dialog appears; Setup.ini names the package and nothing else
# (no prerequisites, no PSetup.exe), and msiexec is a stand-in that ends at once.
# Prints the medians of wall time, CPU time and peak working set of both, and the median
# ratios Bootstrapper.exe/floor. Not part of test.sh: its numbers depend on the machine.
#
#   BOOTSTRAPPER_BENCH_PAIRS   pairs of runs measured (default 15), after 2 warm-up pairs
#   BOOTSTRAPPER_BUILD_ROOT    the build root, as for test.sh
set -euo pipefail
source "$(dirname "$0")/preamble.sh"
build="$build_root"
pairs="${BOOTSTRAPPER_BENCH_PAIRS:-15}"
warmup=2

[[ "$pairs" =~ ^[1-9][0-9]*$ ]] || { echo "bench: BOOTSTRAPPER_BENCH_PAIRS must be a positive number" >&2; exit 2; }
bash "$here/build-windows.sh" >/dev/null

work="$build/bench"
package="$work/package"
keeper="$work/keeper"
export WINEPREFIX="$work/prefix"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=en_US.UTF-8
rm -rf "$work"
mkdir -p "$package" "$keeper" "$WINEPREFIX"

xvfb_pid=
cleanup() {
  rm -f "$keeper/keeper.exe.wait"
  wineserver -k 2>/dev/null || true
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
display=$(( 90 + $$ % 100 ))
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display"

echo "== preparing a Wine prefix in $WINEPREFIX"
wineboot -i >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
# Start over with one persistent server for all runs: each start is then quick, and the
# services of the first boot are not half up.
wineserver -k
wineserver -p
# One idle program with a hidden window keeps Wine's desktop process alive between runs
# (a recorder copy: it waits while keeper.exe.wait exists).
cp "$build/win/recorder.exe" "$keeper/keeper.exe"
touch "$keeper/keeper.exe.wait" "$keeper/keeper.exe.window"
(cd "$keeper" && wine keeper.exe >/dev/null 2>&1 &)

echo "== installing the demo product with Wine's msiexec"
(cd "$project/demo" && wixl -o "$package/DemoProduct.msi" DemoProduct.wxs)
# Through launcher.exe, which writes msiexec's full exit code (a Linux exit status keeps
# only its low 8 bits).
winpackage="Z:${package//\//\\}"
wine "$build/win/launcher.exe" "$winpackage" "Z:${work//\//\\}\\msiexec-exit-code.txt" \
  'C:\windows\syswow64\msiexec.exe' "msiexec /i \"$winpackage\\DemoProduct.msi\" /qn" >/dev/null 2>&1 || true
installed=$(cat "$work/msiexec-exit-code.txt" 2>/dev/null || echo "none")
[ "$installed" = 0 ] || { echo "bench: the demo product could not be installed (msiexec: $installed)" >&2; exit 1; }
cp "$build/win/recorder.exe" "$WINEPREFIX/drive_c/windows/syswow64/msiexec.exe"
printf '[Start]\r\nMsiPath=DemoProduct.msi\r\n' >"$package/Setup.ini"
cp "$build/win/Bootstrapper.exe" "$build/win/floor.exe" "$package/"

echo "== $pairs pairs of runs after $warmup warm-up pairs, in alternating order"
python3 "$project/tests/bench/measure.py" "$package" DemoProduct.msi "$pairs" "$warmup"
