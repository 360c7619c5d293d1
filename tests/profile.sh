#!/usr/bin/env bash
# The profile of the phone's module, as its author reads it: callgrind_annotate takes the file,
# its total is the count of ARM instructions that the benchmarks report for the same operation,
# and it names the application's functions with what each cost in all, calls included.
# Usage: profile.sh NUV-OKA-COUNT NUV-OKA-SIM ARM-MODULE
set -euo pipefail
count=$(realpath "$1") sim=$(realpath "$2") module=$(realpath "$3")
command -v callgrind_annotate >/dev/null || { echo "no callgrind_annotate"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

fail() { echo "FAILED: $*"; exit 1; }
# The inclusive count of FUNCTION in an annotated profile, or nothing.
inclusive() { awk -v fn="$2" '$0 ~ ":" fn " \\[" {gsub(",", "", $1); print $1; exit}' "$1"; }

for op in startup add delete-last edit; do
  arm=$("$count" --arm --profile "$op.out" "$op" | sed -n 's/.*arm_instructions=\([0-9]*\).*/\1/p')
  callgrind_annotate --inclusive=yes --threshold=100 "$op.out" >"$op.txt" || fail "callgrind_annotate cannot read the profile of $op"
  total=$(awk '/PROGRAM TOTALS/ {gsub(",", "", $1); print $1}' "$op.txt")
  [ -n "$arm" ] && [ "$arm" = "$total" ] || fail "$op: the profile counts $total instructions, the benchmark $arm"
done
# Each function's inclusive count holds the functions it called.
for pair in "startup:startApp" "startup:Tim" "startup:paint" "add:EditData" "add:add" "delete-last:del" "edit:edit_record"; do
  op=${pair%%:*} fn=${pair#*:}
  [ -n "$(inclusive "$op.txt" "$fn")" ] || fail "the profile of $op does not name $fn"
done
grep -q "^fl=.*src/records/changes.cpp" add.out || fail "the profile of add names no source line of the changes"
paint=$(inclusive startup.txt paint) lines=$(inclusive startup.txt write_lines)
[ "$paint" -gt "$lines" ] || fail "paint ($paint) does not hold write_lines ($lines), which it calls"

# The simulator writes the same over a whole run, from the entry Lib on.
printf 'press down\n' | "$sim" --headless --fs phone --module "$module" --profile run.out --script - \
  || fail "nuv-oka-sim --profile"
callgrind_annotate --inclusive=yes --threshold=100 run.out >run.txt
for fn in Lib Register startApp HandleKeypress paint; do
  [ -n "$(inclusive run.txt "$fn")" ] || fail "the profile of a run does not name $fn"
done
echo "profiles read, totals equal the benchmark's"
