#!/usr/bin/env bash
# The main job on the bundled demo: builds everything, assembles a package folder (a
# sample product built with wixl, Setup.ini with one prerequisite gated on a registry
# value) and runs Bootstrapper.exe in it under Wine, in a fresh prefix.
# With a display the user answers the language dialog; without one it runs on a
# virtual display, saves a screenshot of the dialog and confirms the pre-selected
# language.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
project=$(dirname "$here")
repo=$(dirname "$project")
build="${BOOTSTRAPPER_BUILD_ROOT:-$repo/build}"

bash "$here/setup.sh"
bash "$here/build-windows.sh"
echo "== host build of the checker"
cmake -S "$project" -B "$build/host" -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$build/host" --target bootstrapper-check -j "$(nproc)" >/dev/null

demo="$build/demo"
package="$demo/package"
export WINEPREFIX="$demo/prefix"
rm -rf "$demo"
mkdir -p "$package/Languages"
(cd "$project/demo" && wixl -o "$package/DemoProduct.msi" DemoProduct.wxs)
cp "$project/demo/Setup.ini" "$build/win/Bootstrapper.exe" "$package/"
cp "$build/win/DemoRuntime.exe" "$package/DemoRuntime.exe"

echo "== checking the package folder"
"$build/host/bootstrapper-check" "$package"

headless=0
xvfb_pid=
cleanup() {
  wineserver -k 2>/dev/null || true
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
  headless=1
  display=$(( 90 + $$ % 100 ))
  Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$display"
  sleep 1
fi
export LC_ALL="${LC_ALL:-en_US.UTF-8}"
export WINEDLLOVERRIDES="mscoree,mshtml="

echo "== preparing a Wine prefix in $WINEPREFIX"
mkdir -p "$WINEPREFIX"
wineserver -p  # one server for the whole demo: every program start is then quick
WINEDEBUG=-all wineboot -i >/dev/null 2>&1
WINEDEBUG=-all wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1

win() { echo "Z:$(echo "$1" | sed 's|/|\\|g')"; }

if [ "$headless" = 1 ]; then
  (
    for _ in $(seq 1 600); do
      window=$(xdotool search --name 'setup language|Setup-Sprache' 2>/dev/null | head -n 1 || true)
      if [ -n "$window" ]; then
        sleep 0.5
        import -window root "$demo/dialog.png"
        echo "== the language dialog: $(xdotool getwindowname "$window"); screenshot in $demo/dialog.png"
        xdotool windowfocus "$window" key Return
        exit 0
      fi
      sleep 0.1
    done
  ) &
  answer_pid=$!
fi

echo "== running Bootstrapper.exe in $package"
WINEDEBUG=-all,trace+process wine "$build/win/launcher.exe" "$(win "$package")" "$(win "$demo/exit-code.txt")" \
  "$(win "$package/Bootstrapper.exe")" 2>"$demo/process-trace.log" || true
[ "$headless" = 0 ] || wait "$answer_pid" || true

echo "== programs started"
grep -a -o 'CreateProcessInternalW app [^"]*\(L"[^"]*"\)\? cmdline L".*"' "$demo/process-trace.log" \
  | sed -e 's/^CreateProcessInternalW app //' -e 's/\\\\/\\/g' | grep -v -i -E 'winedevice|services.exe|explorer.exe|plugplay|rpcss|winemenubuilder|wineboot' \
  | sed 's/^/   /' || true
exit_code=$(cat "$demo/exit-code.txt" 2>/dev/null || echo "none")
echo "== exit code: $exit_code"
runtime=$(WINEDEBUG=-all wine reg query 'HKLM\SOFTWARE\BootstrapperDemo\Runtime' /v Version /reg:32 2>/dev/null | tr -d '\r' | grep -o 'REG_SZ.*' || true)
echo "== demo runtime registry value: ${runtime:-missing}"
installed="$WINEPREFIX/drive_c/Program Files (x86)/Bootstrapper Demo/readme.txt"
if [ -f "$installed" ]; then
  echo "== the demo product is installed: $installed"
else
  echo "== the demo product is NOT installed"
  exit 1
fi
[ "$exit_code" = 0 ] || exit 1
