#!/usr/bin/env bash
# --coverage marks the lines of the phone's module that a script ran with their counts and the
# lines it did not run with 0; a suite's coverage is the sum of its cases'; genhtml reads it; a
# module built for this computer is refused.
#
#   coverage.sh SIM PLANTED-ARM-MODULE PLANTED-HOST-MODULE PLANTED-SOURCE
set -uo pipefail
sim=$1 arm=$2 host=$3 source=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
fail() {
  echo "FAILED: $*"
  exit 1
}
line_of() { grep -nF -- "$1" "$source" | head -1 | cut -d: -f1; }
record() { sed -n "/^SF:.*planted.cpp$/,/^end_of_record$/p" "$1"; }
leak=$(line_of 'suAllocMem(16')
entry=$(line_of 'static UINT32 key(')

printf 'press key-1 2\n' | "$sim" --headless --fs p --module "$arm" --coverage one.info --script - >/dev/null ||
  fail "the run ended with $?"
record one.info >one.record
grep -qx "DA:$entry,2" one.record || fail "the handler's first line is not counted twice: $(cat one.record)"
grep -qx "DA:$leak,0" one.record || fail "the line that did not run is not 0: $(cat one.record)"
grep -qx "FNDA:2,key(event_context\*, app_record\*)" one.record || fail "the handler is not entered twice"
lines=$(grep -c '^DA:' one.record)
hit=$(grep -c '^DA:[0-9]*,[1-9]' one.record)
grep -qx "LF:$lines" one.record && grep -qx "LH:$hit" one.record || fail "LF and LH do not count the lines"

# Two cases of a suite: the counts add up.
mkdir cases
printf 'press key-1 2\n' >cases/a.txt
printf 'press key-2\n' >cases/b.txt
"$sim" --suite cases --module "$arm" --coverage suite.info >/dev/null || fail "the suite ended with $?"
grep -qx "FNDA:3,key(event_context\*, app_record\*)" <(record suite.info) || fail "the suite's counts are not summed"

if command -v genhtml >/dev/null; then
  genhtml -q -o html suite.info >genhtml.log 2>&1 || fail "genhtml cannot read it: $(cat genhtml.log)"
  [ -f html/index.html ] || fail "genhtml made no report"
fi

output=$("$sim" --headless --fs h --module "$host" --coverage host.info 2>&1 </dev/null)
[ $? -eq 2 ] && grep -q "counts the lines of the phone's own module" <<<"$output" || fail "a host module: $output"
echo "coverage counted, summed and read by genhtml"
