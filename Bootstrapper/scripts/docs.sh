#!/usr/bin/env bash
# Usage: bash Bootstrapper/scripts/docs.sh [--check]
#
# Writes the checker's rules (an index, then a section for each rule) into docs/checker.md,
# between its two marker comments, from the checker's own rule table
# (src/checker/findings/rule_table.cpp): the output of the program checker_rule_tables of
# the host build, which it builds first. The page is written whole beside itself and then
# moved into place; a page without both markers is left as it is.
#
#   --check   write nothing: fail (status 1) when the page's rules differ from the
#             rule table (ctest's docs_rule_tables runs this)
#
# Environment:
#   BOOTSTRAPPER_RULE_TABLES   the generator to run, instead of building it in
#                              $BOOTSTRAPPER_BUILD_ROOT/host
#   BOOTSTRAPPER_BUILD_ROOT    the build root, as for test.sh
set -euo pipefail
source "$(dirname "$0")/preamble.sh"
page="$repo/docs/checker.md"
begin='<!-- The rule tables below are generated from the checker rule table: run Bootstrapper/scripts/docs.sh. -->'
end='<!-- End of the generated rule tables. -->'

check=0
case "${1:-}" in
  --check) check=1 ;;
  "") ;;
  *) echo "docs: unknown argument $1 (docs.sh --help tells more)" >&2; exit 2 ;;
esac

generator="${BOOTSTRAPPER_RULE_TABLES:-}"
if [ -z "$generator" ]; then
  cmake -S "$project" -B "$build_root/host" -DCMAKE_BUILD_TYPE=Debug >/dev/null
  cmake --build "$build_root/host" --target checker_rule_tables -j "$(nproc)" >/dev/null
  generator="$build_root/host/checker_rule_tables"
fi

work=$(mktemp -d)
next="$page.docs-sh.$$"
trap 'rm -rf "$work" "$next"' EXIT
"$generator" >"$work/tables" || fail "$generator failed"

# The page with the block between the markers replaced: a blank line, the tables, a blank line.
awk -v begin="$begin" -v end="$end" -v tables="$work/tables" '
  $0 == begin { print; print ""; while ((getline line < tables) > 0) print line; print ""; inside = 1; begins++; next }
  $0 == end { inside = 0; ends++ }
  !inside { print }
  END { if (begins != 1 || ends != 1 || inside) exit 3 }
' "$page" >"$work/page" || fail "$page needs the two marker lines once each:
$begin
$end"

if cmp -s "$work/page" "$page"; then
  exit 0
elif [ "$check" -eq 1 ]; then
  diff -u "$page" "$work/page" | sed -n '3,$p' >&2 || true
  fail "the rule tables of docs/checker.md differ from the checker's rule table: run Bootstrapper/scripts/docs.sh"
fi
# Beside the page, then in its place: an interrupted run leaves the page as it was.
cp "$work/page" "$next"
mv -f "$next" "$page"
echo "docs: wrote the rules into ${page#"$repo"/}"
