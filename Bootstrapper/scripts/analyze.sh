#!/usr/bin/env bash
# Usage: bash Bootstrapper/scripts/analyze.sh
#
# Static analysis of the product's sources (Bootstrapper/src). clang-tidy, set up by
# Bootstrapper/.clang-tidy, reads every file twice: the logic as the host build compiles
# it, and every file of the program as the Windows build compiles it (clang for the
# mingw-w64 target, with mingw-w64's own C++ library headers); the checker's Linux-only
# files (src/checker/folder_readers/linux_*.cpp, command/main_linux.cpp) and its rule tables'
# generator (command/rule_tables_main.cpp), the Windows Installer file library (src/msi_file), the
# Linux tools' file output (src/file_output) and bootstrapper-transform (src/transform) only as
# the host builds them. cppcheck then reads the
# logic for the host and everything as 32-bit ANSI Windows code, with
# Bootstrapper/cppcheck-suppressions.txt, and check_layers.py that no file includes one of
# a layer above its own. Fails on any finding, lists the findings and
# prints one summary line per tool.
#
# Nothing is compiled: the two CMake configure steps only write down how each file is
# compiled. BOOTSTRAPPER_BUILD_ROOT sets the build root, as for test.sh.
set -euo pipefail
source "$(dirname "$0")/preamble.sh"
build="$build_root/analyze"
jobs=$(nproc)
clang_tidy="${CLANG_TIDY:-clang-tidy}"
cppcheck="${CPPCHECK:-cppcheck}"
started=$SECONDS

for tool in "$clang_tidy" "$cppcheck"; do
  command -v "$tool" >/dev/null || { echo "analyze: $tool is missing; run scripts/setup.sh first" >&2; exit 1; }
done

echo "== static analysis"
cmake -S "$project" -B "$build/host" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
cmake -S "$project" -B "$build/win" -DCMAKE_BUILD_TYPE=MinSizeRel \
  -DCMAKE_TOOLCHAIN_FILE="$project/cmake/mingw-i686.cmake" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null

# The files a compilation database holds.
database_files() { sed -n 's/^ *"file": *"\(.*\)",\{0,1\}$/\1/p' "$1/compile_commands.json"; }
mapfile -t sources < <(find "$project/src" -name '*.cpp' | sort)
mapfile -t host_listed < <(database_files "$build/host")
mapfile -t win_listed < <(database_files "$build/win")
# As sets: a lookup through "printf | grep -q" fails now and then under pipefail, when grep
# has its answer and leaves before printf has written all.
declare -A in_host=() in_win=()
for file in "${host_listed[@]}"; do in_host[$file]=1; done
for file in "${win_listed[@]}"; do in_win[$file]=1; done
host_sources=()
win_sources=()
# The checker's Linux-only files, which name Linux, the tools for package authors on
# Linux and the generator of the checker's documented rule tables are built for the host only.
host_only() {
  case "$1" in
    "$project"/src/checker/*/*linux*.cpp | "$project"/src/msi_file/*/*.cpp | "$project"/src/transform/*.cpp) return 0 ;;
    "$project"/src/file_output/*.cpp) return 0 ;;
    "$project"/src/checker/command/rule_tables_main.cpp) return 0 ;;
    *) return 1 ;;
  esac
}
for file in "${sources[@]}"; do
  if [ -n "${in_host[$file]:-}" ]; then
    host_sources+=("$file")
  elif host_only "$file"; then
    echo "analyze: the host build does not compile ${file#"$repo"/}" >&2
    exit 1
  fi
  # Every other file is part of the program or of the checker on Windows, so the Windows
  # build must compile each one: a file it does not know would go unread.
  if host_only "$file"; then
    continue
  elif [ -n "${in_win[$file]:-}" ]; then
    win_sources+=("$file")
  else
    echo "analyze: the Windows build does not compile ${file#"$repo"/}" >&2
    exit 1
  fi
done

# clang does not find the C++ library of Debian's mingw-w64 by itself; the cross compiler
# names its folders.
win_cxx=$(sed -n '/^ *"command"/{s/^ *"command": *"\([^ ]*\) .*/\1/p;q}' "$build/win/compile_commands.json")
win_target=$("$win_cxx" -dumpmachine)
mapfile -t win_cxx_includes < <("$win_cxx" -std=c++17 -x c++ -E -v - </dev/null 2>&1 |
  sed -n '/<...> search starts here:/,/End of search list/p' | grep '/include/c++' | xargs -r -n1 realpath)
if [ "${#win_cxx_includes[@]}" -eq 0 ]; then
  echo "analyze: $win_cxx names no C++ library headers" >&2
  exit 1
fi
win_args=("--extra-arg-before=--target=$win_target" --extra-arg=-nostdinc++)
for dir in "${win_cxx_includes[@]}"; do
  win_args+=("--extra-arg=-isystem$dir")
done

logs="$build/logs"
rm -rf "$logs"
mkdir -p "$logs"

# One pass: every file of stdin through clang-tidy with the database $2, $jobs at a time,
# each into a log of its own; a run that fails notes its exit status in its log.
tidy_pass() {
  local pass=$1 database=$2
  shift 2
  mkdir -p "$logs/tidy-$pass"
  xargs -r -P "$jobs" -I{} bash -c '
    logs=$1 file=$2 src=$3 tidy=$4 database=$5
    shift 5
    relative=${file#"$src"/}
    log="$logs/${relative//\//_}.log"
    "$tidy" --quiet -p "$database" "$@" "$file" >"$log" 2>&1 || echo "clang-tidy exit status $?" >>"$log"
  ' _ "$logs/tidy-$pass" {} "$project/src" "$clang_tidy" "$database" "$@" || true
}

printf '%s\n' "${host_sources[@]}" | tidy_pass host "$build/host"
printf '%s\n' "${win_sources[@]}" | tidy_pass win "$build/win" "${win_args[@]}"

diagnostic='^[^ ]+:[0-9]+:[0-9]+: (warning|error): '
tidy_findings=$(cat "$logs"/tidy-*/*.log | grep -E "$diagnostic" | sed "s|^$repo/||" | sort -u || true)
tidy_broken=$(grep -l '^clang-tidy exit status' "$logs"/tidy-*/*.log || true)

cppcheck_args=(--enable=warning,style,performance,portability --error-exitcode=1 --inline-suppr
  --std=c++17 --language=c++ -q --suppressions-list="$project/cppcheck-suppressions.txt"
  -I "$project/src" -I "$project/res" --template='{file}:{line}:{column}: {severity}: {message} [{id}]')
cppcheck_status=0
"$cppcheck" "${cppcheck_args[@]}" --platform=native "${host_sources[@]}" \
  >"$logs/cppcheck-host.log" 2>&1 || cppcheck_status=$?
"$cppcheck" "${cppcheck_args[@]}" --platform=win32A --library=windows "${win_sources[@]}" \
  >"$logs/cppcheck-win.log" 2>&1 || cppcheck_status=$?
cppcheck_findings=$(cat "$logs"/cppcheck-*.log | grep -E "$diagnostic|: (style|performance|portability|information): " |
  sed "s|^$repo/||" | sort -u || true)

failed=0
count() { if [ -z "$1" ]; then echo 0; else printf '%s\n' "$1" | wc -l; fi; }
if [ -n "$tidy_findings" ]; then printf '%s\n' "$tidy_findings"; fi
for log in $tidy_broken; do
  # A run that ended without a finding to show for it (a file that does not parse, a
  # broken configuration): its own words.
  if ! grep -qE "$diagnostic" "$log"; then sed 's/^/    /' "$log" | tail -n 20; fi
done
if [ -n "$cppcheck_findings" ]; then printf '%s\n' "$cppcheck_findings"; fi
if [ "$cppcheck_status" -ne 0 ] && [ -z "$cppcheck_findings" ]; then cat "$logs"/cppcheck-*.log; fi

tidy_summary="${#host_sources[@]} files as the host compiles them, ${#win_sources[@]} as the Windows build does"
if [ -z "$tidy_findings" ] && [ -z "$tidy_broken" ]; then
  printf 'clang-tidy  ok      %s\n' "$tidy_summary"
else
  failed=1
  printf 'clang-tidy  FAILED  %s findings (%s), logs in %s\n' "$(count "$tidy_findings")" "$tidy_summary" "$logs"
fi
cppcheck_summary="${#host_sources[@]} files for the host, ${#win_sources[@]} for 32-bit Windows"
if [ -z "$cppcheck_findings" ] && [ "$cppcheck_status" -eq 0 ]; then
  printf 'cppcheck    ok      %s\n' "$cppcheck_summary"
else
  failed=1
  printf 'cppcheck    FAILED  %s findings (%s), logs in %s\n' "$(count "$cppcheck_findings")" "$cppcheck_summary" "$logs"
fi
python3 "$here/check_layers.py" "$project/src" || failed=1
echo "static analysis took $((SECONDS - started)) s"
exit "$failed"
