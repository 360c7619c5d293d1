#!/usr/bin/env bash
# Runs each fuzzer for SECONDS over its seeds in fuzz/corpus/ and what earlier runs found in
# build-fuzz/corpus/; a crash, leak, timeout or excess of memory is kept in build-fuzz/ and fails.
#
#   fuzz.sh SECONDS FUZZER...
#
# A fuzzer's own options, if any, are the lines of fuzz/<fuzzer>.options but for the comments.
set -uo pipefail
seconds=$1
shift
for f in "$@"; do
  mkdir -p build-fuzz/corpus/"$f"
  options=()
  [ -f fuzz/"$f".options ] && mapfile -t options < <(grep -v '^#' fuzz/"$f".options)
  stats=$(./build-fuzz/fuzz/fuzz_"$f" "${options[@]}" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix=build-fuzz/ \
    build-fuzz/corpus/"$f" fuzz/corpus/"$f" 2>&1)
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' <<<"$stats")
  # A leak found at the end of the run leaves no file, only its report.
  if grep -q '^==[0-9]*==ERROR: LeakSanitizer' <<<"$stats" ||
    [ -n "$(ls build-fuzz/crash-* build-fuzz/leak-* build-fuzz/timeout-* build-fuzz/oom-* 2>/dev/null)" ]; then
    grep -E 'ERROR|SUMMARY' <<<"$stats"
    echo "fuzz_$f: FAILED, see build-fuzz/"
    exit 1
  fi
  echo "fuzz_$f: $seconds s, ${runs:-0} runs, nothing found"
done
