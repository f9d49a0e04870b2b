#!/usr/bin/env bash
# Usage: bash Bootstrapper/scripts/sign.sh [--pkcs12 FILE] [--timestamp URL] [--time SECONDS]
#        [--description TEXT] [--url URL] [--msi PACKAGE] [FILE...]
#
# Signs Bootstrapper.exe and BootstrapperCheck.exe (Authenticode, SHA-256) with
# osslsigncode, and a package too when asked.
#
# Without FILE it signs both programs in $BOOTSTRAPPER_BUILD_ROOT/win; FILEs (programs or
# .msi packages) replace that list, --msi adds a package to it. Each file is signed into a
# folder beside it and the signed copy then takes its place: a failed run leaves it as it was.
#
# Settings (an option wins over its environment variable):
#   --pkcs12       BOOTSTRAPPER_SIGN_PKCS12         certificate and key (PKCS#12)
#                  BOOTSTRAPPER_SIGN_PASSWORD       its password, or
#                  BOOTSTRAPPER_SIGN_PASSWORD_FILE  a file holding it (first line)
#   --timestamp    BOOTSTRAPPER_SIGN_TIMESTAMP_URL  RFC 3161 time-stamp server
#   --time         BOOTSTRAPPER_SIGN_TIME           the signing time the signature holds, in
#                                                   seconds since 1970 (default: now); the
#                                                   same time gives the same signed bytes,
#                                                   but a time-stamp server's answer is new
#                                                   each time
#   --description  BOOTSTRAPPER_SIGN_DESCRIPTION    text Windows shows for the signed file
#   --url          BOOTSTRAPPER_SIGN_URL            web page Windows links to it
# The password is never taken from the command line, where every user's `ps` shows it, and
# reaches osslsigncode through a file descriptor, not its arguments or its environment;
# the password file may be a pipe (/dev/fd/N), read once. OSSLSIGNCODE names another
# osslsigncode. Only options of osslsigncode 2.5 (Debian 12) are used.
set -euo pipefail
# Taken out of the environment before this script starts any program, so that none of
# them inherits it: the password stays in this shell alone.
password="${BOOTSTRAPPER_SIGN_PASSWORD:-}"
unset BOOTSTRAPPER_SIGN_PASSWORD
source "$(dirname "$0")/preamble.sh"
build="$build_root"
osslsigncode="${OSSLSIGNCODE:-osslsigncode}"

usage() {
  echo "usage: sign.sh [--pkcs12 FILE] [--timestamp URL] [--time SECONDS] [--description TEXT] [--url URL] [--msi PACKAGE] [FILE...]" >&2
  echo "(sign.sh --help tells more: the password comes from BOOTSTRAPPER_SIGN_PASSWORD or _FILE)" >&2
  exit 2
}

pkcs12="${BOOTSTRAPPER_SIGN_PKCS12:-}"
timestamp="${BOOTSTRAPPER_SIGN_TIMESTAMP_URL:-}"
signing_time="${BOOTSTRAPPER_SIGN_TIME:-}"
description="${BOOTSTRAPPER_SIGN_DESCRIPTION:-}"
url="${BOOTSTRAPPER_SIGN_URL:-}"
files=()
packages=()
while [ "$#" -gt 0 ]; do
  case "$1" in
    --pkcs12|--timestamp|--time|--description|--url|--msi)
      [ "$#" -ge 2 ] || usage
      case "$1" in
        --pkcs12) pkcs12=$2 ;;
        --timestamp) timestamp=$2 ;;
        --time) signing_time=$2 ;;
        --description) description=$2 ;;
        --url) url=$2 ;;
        --msi) packages+=("$2") ;;
      esac
      shift 2 ;;
    --pass*)
      fail "the password is never taken from the command line: set BOOTSTRAPPER_SIGN_PASSWORD or BOOTSTRAPPER_SIGN_PASSWORD_FILE" ;;
    -*) echo "sign: unknown option $1" >&2; usage ;;
    *) files+=("$1"); shift ;;
  esac
done
if [ "${#files[@]}" -eq 0 ]; then
  files=("$build/win/Bootstrapper.exe" "$build/win/BootstrapperCheck.exe")
fi
files+=("${packages[@]}")

command -v "$osslsigncode" >/dev/null || fail "$osslsigncode is missing; run scripts/setup.sh first"
[ -n "$pkcs12" ] || fail "no certificate: set BOOTSTRAPPER_SIGN_PKCS12 or give --pkcs12 FILE"
[ -f "$pkcs12" ] && [ -r "$pkcs12" ] || fail "cannot read the PKCS#12 file $pkcs12"
[ -z "$signing_time" ] || [[ "$signing_time" =~ ^[0-9]+$ ]] ||
  fail "the signing time $signing_time is no number of seconds since 1970"
for file in "${files[@]}"; do
  [ -f "$file" ] || fail "no file to sign at $file"
done

# osslsigncode reads the password from a pipe fed by the shell's built-in printf, which no
# process list shows; a password file's first line is read by the shell's built-in read.
password_file="${BOOTSTRAPPER_SIGN_PASSWORD_FILE:-}"
if [ -n "$password_file" ]; then
  [ -r "$password_file" ] && [ ! -d "$password_file" ] || fail "cannot read the password file $password_file"
  password=
  IFS= read -r password < "$password_file" || true
  [ -n "$password" ] || fail "the password file $password_file is empty"
elif [ -z "$password" ]; then
  fail "no password: set BOOTSTRAPPER_SIGN_PASSWORD or BOOTSTRAPPER_SIGN_PASSWORD_FILE"
fi

options=(-pkcs12 "$pkcs12" -h sha256)
[ -z "$description" ] || options+=(-n "$description")
[ -z "$url" ] || options+=(-i "$url")
[ -z "$timestamp" ] || options+=(-ts "$timestamp")
[ -z "$signing_time" ] || options+=(-time "$signing_time")

# osslsigncode writes only a file that does not exist yet: a fresh folder beside the
# file (on the same file system, so that the signed copy is moved in at once).
temporary=
trap '[ -z "$temporary" ] || rm -rf "$temporary"' EXIT

sign_one() {
  local file=$1 signed output status=0
  temporary=$(mktemp -d "$(dirname "$file")/.signing.XXXXXX")
  signed="$temporary/$(basename "$file")"
  output=$("$osslsigncode" sign "${options[@]}" -readpass <(printf '%s' "$password") \
    -in "$file" -out "$signed" 2>&1) || status=$?
  if [ "$status" -ne 0 ]; then
    if grep -qiE 'wrong password|mac verify failure' <<<"$output"; then
      fail "cannot open $pkcs12: wrong password"
    fi
    printf '%s\n' "$output" | sed 's/^/    /' >&2
    fail "osslsigncode could not sign $file"
  fi
  chmod --reference="$file" "$signed"
  mv -f "$signed" "$file"
  rm -rf "$temporary"
  temporary=
  echo "signed $file"
}

for file in "${files[@]}"; do
  sign_one "$file"
done
