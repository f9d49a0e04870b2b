#!/usr/bin/env bash
# Usage: bash Bootstrapper/scripts/differential.sh [--folders N] [--seed S]
#
# The checker's plan against the real program under Wine, deeper than the test command's
# bounded run of the same test (Bootstrapper/tests/e2e/test_differential.py): N package
# folders (default 300) made from seed S (default that of the test), each checked by
# bootstrapper-check and run under Wine once or twice with chosen answers. Prints the
# summary: how many runs took the way the plan gives, the runs in which Wine did what
# Windows would not (by entry of WINE_DIFFERENCES in tools/wine_differences.py), the
# mismatches by class, and each mismatch with its seed and folder, what was varied there,
# the planned way and what the run did. A folder takes about two seconds: 300 take about
# ten minutes. Exit status 1 on a mismatch; the same seed gives the same folders.
#
# Builds nothing: needs the Windows build (build/win under the build root, or
# BOOTSTRAPPER_WIN_BUILD) and the host build's bootstrapper-check (build/host, or
# BOOTSTRAPPER_HOST_BUILD), as the end-to-end tests do. BOOTSTRAPPER_BUILD_ROOT names the
# build root, as for test.sh.
set -euo pipefail
source "$(dirname "$0")/preamble.sh"
build="$build_root"

folders=300
unset seed
while [ $# -gt 0 ]; do
  case "$1" in
    --folders | --seed)
      if [ $# -lt 2 ]; then echo "differential: $1 needs a number" >&2; exit 2; fi
      if [ "$1" = --folders ]; then folders=$2; else seed=$2; fi
      shift 2 ;;
    --folders=*) folders="${1#*=}"; shift ;;
    --seed=*) seed="${1#*=}"; shift ;;
    *) echo "differential: unknown argument: $1 (see --help)" >&2; exit 2 ;;
  esac
done
for number in "$folders" ${seed+"$seed"}; do
  if ! [[ "$number" =~ ^[0-9]+$ ]]; then
    echo "differential: --folders and --seed take a whole number, not '$number'" >&2
    exit 2
  fi
done

env DIFFERENTIAL_FOLDERS="$folders" ${seed+DIFFERENTIAL_SEED="$seed"} \
  BOOTSTRAPPER_WIN_BUILD="${BOOTSTRAPPER_WIN_BUILD:-$build/win}" \
  BOOTSTRAPPER_HOST_BUILD="${BOOTSTRAPPER_HOST_BUILD:-$build/host}" \
  /usr/bin/python3 -m pytest -q -p no:cacheprovider -s --tb=no \
  "$project/tests/e2e/test_differential.py"
