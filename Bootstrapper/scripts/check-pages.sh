#!/usr/bin/env bash
# Usage: bash Bootstrapper/scripts/check-pages.sh
#
# Runs the shell examples of the author pages as an author would, on a fresh Debian 12: in
# a minimal root made with debootstrap (as check-deb.sh makes one) that holds a copy of this
# clone in /src/bootstrapper and nothing else of the project. The pages, in this order:
# docs/quick-start.md, whose first step installs the tools from the clone with
# install-tools.sh and whose later steps run in an empty folder, then setup-ini.md,
# transforms.md, checker.md, pack-and-try.md and release.md, each in a copy of the folder
# the quick start left (page_examples.py: the blocks a page marks as not run are passed
# over, those it marks run in the clone). An example that fails fails the script, naming
# the page, the block and its line. As root, with the network: the root's packages (the
# build's and Wine) are downloaded each time (about 5 minutes), the build takes about as
# long again. The root stays in build/check-pages/root for a look until the next run.
set -euo pipefail
source "$(dirname "$0")/preamble.sh"
source "$here/fresh_root.sh"
started=$SECONDS

work="$build_root/check-pages"
root="$work/root"
roots_in "$work"
echo "== a minimal Debian 12 from $mirror, with a copy of the clone"
fresh_root "$root"
clone=/src/bootstrapper
mkdir -p "$root$clone"
# The clone's files as a checkout has them (with what is not committed yet), no build.
(cd "$repo" && git ls-files -z --cached --others --exclude-standard |
  while IFS= read -r -d '' file; do [ -e "$file" ] && printf '%s\0' "$file"; done |
  tar --null -T - -cf -) | tar -xf - -C "$root$clone"

pages=()
for page in quick-start setup-ini transforms checker pack-and-try release; do pages+=("$repo/docs/$page.md"); done
status=0
/usr/bin/python3 "$here/page_examples.py" "$root" "$clone" /root/examples "${pages[@]}" 2>&1 |
  tee "$work/examples.log" || status=$?
[ "$status" -eq 0 ] || fail "an example of the author pages failed (log: $work/examples.log)"
echo "check-pages: every example of the author pages runs as written on a fresh Debian 12 ($((SECONDS - started)) s)"
