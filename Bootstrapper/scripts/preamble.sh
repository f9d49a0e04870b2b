# shellcheck shell=bash
# The common preamble of this folder's scripts, sourced first by each of them:
#   source "$(dirname "$0")/preamble.sh"
#
# With -h or --help among the script's arguments (before a "--") it prints the script's own
# header comment, which gives its usage, options and environment, and ends the script with
# status 0 before it does anything else.
#
# Otherwise it sets what the scripts find their way by: here (this folder), project
# (Bootstrapper/), repo (the checkout), build_root (where the builds go: BOOTSTRAPPER_BUILD_ROOT,
# default build/ in the checkout), and fail, which ends the script with status 1 and a
# message that names it.
for bootstrapper_argument in "$@"; do
  case "$bootstrapper_argument" in
    -h | --help)
      sed -n '2,$ { /^#/!q; s/^# \{0,1\}//; p; }' "$0"
      exit 0 ;;
    --) break ;;
  esac
done
unset bootstrapper_argument

here=$(cd "$(dirname "$0")" && pwd)
project=$(dirname "$here")
repo=$(dirname "$project")
build_root="${BOOTSTRAPPER_BUILD_ROOT:-$repo/build}"

fail() {
  echo "$(basename "$0" .sh): $*" >&2
  exit 1
}
