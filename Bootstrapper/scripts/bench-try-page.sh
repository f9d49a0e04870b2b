#!/usr/bin/env bash
# Usage: bash Bootstrapper/scripts/bench-try-page.sh [RUNS]
#
# How long try's page (--format=html) adds to a try: the demo's release folder, packed
# from its two builds as demo.sh packs it, tried in German RUNS times (default 3) with
# --format=json and as often with --format=html, one after the other, each in a fresh Wine
# prefix (try's own copy of its pristine prefix, which a first try that is not timed makes
# when there is none). Prints each time, the median of each format and their difference,
# and the page's size. Needs the builds of
# test.sh ($BOOTSTRAPPER_BUILD_ROOT/host and win) and what a try needs (Wine, Xvfb).
set -euo pipefail
source "$(dirname "$0")/preamble.sh"
runs=${1:-3}
[[ "$runs" =~ ^[1-9][0-9]*$ ]] || fail "RUNS must be a whole number from 1"
export BOOTSTRAPPER_HOST_BUILD="$build_root/host" BOOTSTRAPPER_WIN_BUILD="$build_root/win"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$project/demo" && wixl -o "$work/DemoProduct.msi" DemoProduct.wxs &&
  wixl -D German=1 -o "$work/DemoProduct-1031.msi" DemoProduct.wxs)
"$project/tools/bootstrapper-pack" --msi "$work/DemoProduct.msi" --language-build 1031="$work/DemoProduct-1031.msi" \
  --setup-ini "$project/demo/Setup.ini" --file DemoRuntime.exe="$build_root/win/DemoRuntime.exe" \
  "$work/package" >/dev/null

try() {  # FORMAT: one try; prints its seconds
  local began=$EPOCHREALTIME
  "$project/tools/bootstrapper-try" --language=Deutsch --format="$1" \
    --output "$work/try.$1" "$work/package" >/dev/null 2>"$work/try.log" ||
    { cat "$work/try.log" >&2; fail "the try with --format=$1 failed"; }
  python3 -c "import sys; print(f'{float(sys.argv[2]) - float(sys.argv[1]):.2f}')" "$began" "$EPOCHREALTIME"
}

try json >/dev/null
json=() html=()
for _ in $(seq "$runs"); do
  json+=("$(try json)")
  html+=("$(try html)")
done
python3 - "$runs" "${json[@]}" "${html[@]}" "$(stat -c %s "$work/try.html")" <<'PY'
import statistics
import sys

runs = int(sys.argv[1])
json_times = [float(t) for t in sys.argv[2:2 + runs]]
html_times = [float(t) for t in sys.argv[2 + runs:2 + 2 * runs]]
print("--format=json: " + ", ".join(f"{t:.2f} s" for t in json_times))
print("--format=html: " + ", ".join(f"{t:.2f} s" for t in html_times))
json_median, html_median = statistics.median(json_times), statistics.median(html_times)
print(f"median: json {json_median:.2f} s, html {html_median:.2f} s; the page adds "
      f"{html_median - json_median:+.2f} s (the page: {int(sys.argv[-1]):,} bytes)")
PY
