#!/usr/bin/env bash
# Usage: bash Bootstrapper/scripts/fuzz.sh
#
# Builds the libFuzzer targets (clang, AddressSanitizer, UndefinedBehaviorSanitizer) and
# runs each on a copy of its committed seeds for a bounded time, all at once. Fails when
# any target finds an input that breaks an invariant or trips a sanitizer; the input is
# kept in the build directory and named in the summary.
#
# BOOTSTRAPPER_FUZZ_SECONDS sets the time of the runs (default 45); BOOTSTRAPPER_BUILD_ROOT
# the build root, as for test.sh.
set -euo pipefail
source "$(dirname "$0")/preamble.sh"
build="$build_root/fuzz"
seconds="${BOOTSTRAPPER_FUZZ_SECONDS:-45}"
targets=(versions numbers registry run transform package setup_ini)

echo "== fuzzing (${seconds} s, ${#targets[@]} targets at once)"
cmake -S "$project" -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBOOTSTRAPPER_FUZZ=ON >/dev/null
cmake --build "$build" --target fuzz_targets -j "$(nproc)" >/dev/null

# libFuzzer adds what it finds to the corpus it is given: it works on a fresh copy, and
# the committed seeds stay as they are.
work="$build/runs"
rm -rf "$work"
# Leaks of the libraries that read packages, on damaged input, are theirs to mend: the
# file names each one and why it is not the tools'. A suppression matches a function of
# the stack the leak was allocated from; glib has no frame pointers, so the target that
# opens files with those libraries records its stacks the slow way, at half its runs.
export LSAN_OPTIONS="suppressions=$project/tests/fuzz/leak_suppressions.txt:print_suppressions=0"
pids=()
for target in "${targets[@]}"; do
  mkdir -p "$work/$target/corpus" "$work/$target/findings"
  cp "$project/tests/fuzz/corpus/$target/"* "$work/$target/corpus/"
  unwind=1
  [ "$target" = package ] && unwind=0
  ASAN_OPTIONS="fast_unwind_on_malloc=$unwind" "$build/tests/fuzz/fuzz_$target" "$work/$target/corpus" \
    -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$work/$target/findings/" \
    >"$work/$target/log" 2>&1 &
  pids+=($!)
done

failed=0
for i in "${!targets[@]}"; do
  target=${targets[$i]}
  status=0
  wait "${pids[$i]}" || status=$?
  log="$work/$target/log"
  # A run that fails on its seeds ends before it prints any of these.
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n1)
  coverage=$(grep -o 'cov: [0-9]*' "$log" | tail -n1 | cut -d' ' -f2 || true)
  corpus=$(find "$work/$target/corpus" -type f | wc -l)
  finding=$(find "$work/$target/findings" -type f -print -quit)
  if [ "$status" -eq 0 ] && [ -z "$finding" ]; then
    printf 'fuzz_%-9s ok      %9s runs, coverage %s, corpus %s\n' "$target" "${runs:-?}" "${coverage:-?}" "$corpus"
  else
    failed=1
    printf 'fuzz_%-9s FAILED  exit %s, input %s, log %s\n' "$target" "$status" "${finding:-none}" "$log"
    grep -m1 -A14 -E '^==== invariant broken|ERROR: (AddressSanitizer|LeakSanitizer|UndefinedBehaviorSanitizer|libFuzzer)|runtime error' \
      "$log" | sed 's/^/    /' || true
  fi
done
exit "$failed"
