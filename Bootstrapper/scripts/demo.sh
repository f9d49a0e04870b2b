#!/usr/bin/env bash
# Usage: bash Bootstrapper/scripts/demo.sh
#
# The main job on the bundled demo: builds everything, assembles a package folder (the
# sample product built with wixl in English, a German transform made from its German
# build with bootstrapper-transform, Setup.ini with one prerequisite gated on a registry
# value), checks it with bootstrapper-check and runs Bootstrapper.exe in it under Wine,
# in a fresh prefix. With a display the user answers the language dialog; without one it
# runs on a virtual display, saves a screenshot of the dialog with its list open, chooses
# Deutsch and checks that the German product is installed.
set -euo pipefail
source "$(dirname "$0")/script_help.sh"
here=$(cd "$(dirname "$0")" && pwd)
project=$(dirname "$here")
repo=$(dirname "$project")
build="${BOOTSTRAPPER_BUILD_ROOT:-$repo/build}"

bash "$here/setup.sh"
bash "$here/build-windows.sh"
echo "== host build of the checker and the transform generator"
cmake -S "$project" -B "$build/host" -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$build/host" --target bootstrapper-check bootstrapper-transform -j "$(nproc)" >/dev/null

demo="$build/demo"
package="$demo/package"
export WINEPREFIX="$demo/prefix"
rm -rf "$demo"
mkdir -p "$package/Languages"
echo "== building the demo product in English and in German"
(cd "$project/demo" && wixl -o "$package/DemoProduct.msi" DemoProduct.wxs &&
  wixl -D German=1 -o "$demo/DemoProduct-1031.msi" DemoProduct.wxs)
echo "== making the German transform"
"$build/host/bootstrapper-transform" "$package/DemoProduct.msi" "$demo/DemoProduct-1031.msi" \
  "$package/Languages/1031.mst"
cp "$project/demo/Setup.ini" "$build/win/Bootstrapper.exe" "$package/"
cp "$build/win/DemoRuntime.exe" "$package/DemoRuntime.exe"

echo "== checking the package folder"
check_status=0
"$build/host/bootstrapper-check" "$package" >"$demo/check.txt" || check_status=$?
cat "$demo/check.txt"
if [ "$check_status" -ne 0 ] || grep -qE '^[^ ].*: (error|warning): ' "$demo/check.txt"; then
  echo "== the demo folder is not clean" >&2
  exit 1
fi

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
        # The list open, so that the screenshot shows every language offered: the third
        # control in tab order is the list.
        xdotool windowfocus "$window" key --delay 100 Tab Tab Tab Alt+Down
        sleep 0.5
        import -window root "$demo/dialog.png"
        echo "== the language dialog: $(xdotool getwindowname "$window"); screenshot in $demo/dialog.png"
        # Deutsch is the first item: Home picks it, Return closes the list, Return confirms.
        xdotool windowfocus "$window" key --delay 100 Home Return Return
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
programs="$WINEPREFIX/drive_c/Program Files (x86)"
product=$(WINEDEBUG=-all wine "$build/win/product_info.exe" '{3D2A6C8E-5B14-4F7A-9E21-7C0B8D4A1F63}' \
  InstalledProductName Language 2>/dev/null | tr -d '\r' || true)
for folder in "Bootstrapper Vorführung" "Bootstrapper Demo"; do
  if [ -f "$programs/$folder/readme.txt" ]; then
    echo "== the demo product is installed in $programs/$folder"
  fi
done
echo "$product" | sed 's/^/   /'
if [ "$headless" = 1 ]; then
  # Deutsch was chosen: the German product, through the transform.
  if [ ! -f "$programs/Bootstrapper Vorführung/readme.txt" ] ||
     ! grep -qx 'InstalledProductName=Bootstrapper Vorführprodukt' <<<"$product" ||
     ! grep -qx 'Language=1031' <<<"$product"; then
    echo "== the German demo product is NOT installed"
    exit 1
  fi
  echo "== the German demo product is installed"
elif [ -z "$product" ] || grep -q 'error' <<<"$product"; then
  echo "== the demo product is NOT installed"
  exit 1
fi
[ "$exit_code" = 0 ] || exit 1
