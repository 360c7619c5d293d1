#!/usr/bin/env bash
# The explorer finds a planted wild write that needs one key three times in a row, shrinks it to a
# few actions, and the script it writes replays the crash on an empty folder from elsewhere; it
# finds a heap block held once the module has ended; a sound module explored with a fixed seed
# ends well.
#
#   explore.sh SIM PLANTED-MODULE SOUND-MODULE
set -uo pipefail
sim=$1 planted=$2 sound=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
fail() {
  echo "FAILED: $*"
  exit 1
}
output=$("$sim" --module "$planted" --explore 300 --seed 1 --jobs 2 --explore-out found/session.txt 2>&1)
status=$?
[ "$status" -eq 1 ] || fail "the planted fault: status $status, not 1: $output"
grep -qE "fails: the application crashed: it wrote to an address it does not own" <<<"$output" || fail "no crash said: $output"
grep -qE "shrunk from [0-9]+ to [1-5] actions" <<<"$output" || fail "not shrunk to five actions or fewer: $output"
actions=$(grep -cvE '^(#|options |$)' found/session.txt)
[ "$actions" -le 5 ] || fail "the written session has $actions actions: $(cat found/session.txt)"
mkdir elsewhere && cd elsewhere || exit 1
replayed=$("$sim" --headless --fs empty --script ../found/session.txt 2>&1)
[ $? -eq 4 ] || fail "the written session does not replay the crash: $replayed"
cd .. || exit 1
# A block the module never gives back is found once it has ended.
output=$("$sim" --module "$planted" --app /leak.elf --explore 300 --seed 2 --jobs 2 2>&1)
[ $? -eq 1 ] || fail "the leak: $output"
grep -qE "fails: once it ended, the module holds [0-9]+ bytes of heap, over its budget of 0" <<<"$output" || fail "no leak said: $output"
output=$("$sim" --module "$sound" --explore 200 --seed 5 --jobs 2 2>&1)
[ $? -eq 0 ] || fail "the sound module: $output"
grep -q "200 sessions of seed 5 ran without a failure" <<<"$output" || fail "the sound module: $output"
echo "the explorer found, shrank and replayed the planted fault; the sound module ran well"
