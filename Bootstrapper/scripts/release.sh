#!/usr/bin/env bash
# Usage: bash Bootstrapper/scripts/release.sh
#
# Builds the program and assembles what is shipped to package authors:
#   $BOOTSTRAPPER_BUILD_ROOT/release/Bootstrapper-<version>/   Bootstrapper.exe,
#       BootstrapperCheck.exe, a sample Setup.ini, ReadMe.txt, the JSON Schema of the
#       checker's report and SHA256SUMS
#   $BOOTSTRAPPER_BUILD_ROOT/release/Bootstrapper-<version>.zip
#   $BOOTSTRAPPER_BUILD_ROOT/release/bootstrapper-tools_<version>_<arch>.deb   the Linux
#       tools (bootstrapper-check, ...) for Debian, made by build-deb.sh in build/host-release
# The version is the build's BOOTSTRAPPER_VERSION, else the VERSION of project() in
# Bootstrapper/CMakeLists.txt. The zip and the .deb are the same, byte for byte, for the
# same files: the zip's entries are sorted, and both carry the time SOURCE_DATE_EPOCH
# (default: the last commit's).
# With BOOTSTRAPPER_SIGN_PKCS12 set, both programs are signed first (see sign.sh).
set -euo pipefail
source "$(dirname "$0")/preamble.sh"
build="$build_root"

bash "$here/build-windows.sh"

release_version() {
  local version
  version=$(sed -n 's/^BOOTSTRAPPER_VERSION:[A-Z]*=//p' "$build/win/CMakeCache.txt" 2>/dev/null | head -n1)
  if [ -z "$version" ]; then
    version=$(tr '\n' ' ' <"$project/CMakeLists.txt" |
      grep -oP '\bproject\s*\([^)]*\bVERSION\s+\K[^\s)]+' | head -n1 || true)
  fi
  if [ -z "$version" ]; then
    echo "release: warning: no BOOTSTRAPPER_VERSION in the build and no VERSION in project(): using 0.0.0" >&2
    version=0.0.0
  fi
  # The version becomes part of file names.
  [[ "$version" =~ ^[0-9A-Za-z.+-]+$ ]] || fail "the version '$version' is no fit for a file name"
  echo "$version"
}

version=$(release_version)
for program in Bootstrapper.exe BootstrapperCheck.exe; do
  [ -f "$build/win/$program" ] || fail "$program is missing in $build/win: the Windows build did not make it"
done
for text in Setup.ini ReadMe.txt; do
  # The program reads Setup.ini in the ANSI code page: only ASCII means the same everywhere.
  if LC_ALL=C grep -q '[^[:print:][:space:]]' "$project/release/$text"; then
    fail "$project/release/$text holds characters other than ASCII"
  fi
done

name="Bootstrapper-$version"
folder="$build/release/$name"
archive="$build/release/$name.zip"
rm -rf "$folder" "$archive"
mkdir -p "$folder"
cp "$build/win/Bootstrapper.exe" "$build/win/BootstrapperCheck.exe" "$project/packaging/check-report.schema.json" \
  "$folder/"
# The text files are for Windows: Windows line ends.
for text in Setup.ini ReadMe.txt; do
  sed 's/\r*$/\r/' "$project/release/$text" >"$folder/$text"
done
epoch="${SOURCE_DATE_EPOCH:-$(git -C "$repo" log -1 --format=%ct 2>/dev/null || true)}"
[[ "$epoch" =~ ^[0-9]+$ ]] || fail "no time for the zip's entries: set SOURCE_DATE_EPOCH (seconds since 1970)"
if [ -n "${BOOTSTRAPPER_SIGN_PKCS12:-}" ]; then
  # Signed at the zip's time: the same sources give the same signed bytes.
  bash "$here/sign.sh" --time "$epoch" "$folder/Bootstrapper.exe" "$folder/BootstrapperCheck.exe"
fi
(cd "$folder" && sha256sum Bootstrapper.exe BootstrapperCheck.exe ReadMe.txt Setup.ini check-report.schema.json \
  >SHA256SUMS)

touch -d "@$epoch" "$folder" "$folder"/*
python3 "$here/reproducible_zip.py" "$folder" "$archive" "$epoch"

echo "== Debian package of the Linux tools"
deb=$(SOURCE_DATE_EPOCH="$epoch" bash "$here/build-deb.sh" "$build/host-release" "$version" "$build/win" | tail -n 1)
rm -f "$build/release"/*.deb
cp "$deb" "$build/release/"

echo "== release $version"
(cd "$build/release" && ls -l "$name" && sha256sum "$name.zip" ./*.deb)
