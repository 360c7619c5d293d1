#!/usr/bin/env bash
# One stage of a build or a test run, as `make` shows it: a one-line heading, the stage's progress
# by tenths (built, tests run), its warnings, and how long it took. Its whole output is kept in LOG
# and shown only when the stage fails.
#
#   stage.sh HEADING LOG COMMAND...
set -uo pipefail
heading=$1 log=$2
shift 2
mkdir -p "$(dirname "$log")"
started=$(date +%s)
echo "== $heading"
: >"$log"
"$@" >>"$log" 2>&1 &
runner=$!
# The log is followed while the stage runs: a line per tenth of the build or of the tests.
tail -n +1 -f --pid=$runner "$log" 2>/dev/null | awk '
  function show(text) { print "   " text; fflush() }
  /^\[ *[0-9]+%\]/ {
    match($0, /[0-9]+%/); done = substr($0, RSTART, RLENGTH - 1) + 0
    if (done >= due) { show(done "% built"); due = done - done % 10 + 10 }
  }
  /^ *[0-9]+\/[0-9]+ Test/ {
    split($1, count, "/"); done = int(100 * count[1] / count[2])
    if (done >= due) { show(count[1] " of " count[2] " tests run"); due = done - done % 10 + 10 }
  }
  /warning:/ { show($0) }
  /^fuzz_[a-z]+:/ { show($0) }
'
wait $runner
status=$?
took=$(($(date +%s) - started))
if [ $status -ne 0 ]; then
  tail -n 150 "$log"
  echo "== $heading: FAILED after $took s (the whole output is in $log)"
  exit $status
fi
echo "   $heading: done in $took s"
