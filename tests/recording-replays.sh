#!/usr/bin/env bash
# A recording is a bug report: made in one folder from records the phone already held, with the
# options of the run, it replays on an empty folder, from another working folder, to the same file
# bytes and the same screen, and its own checks at its end pass.
#
#   recording-replays.sh SIM [ARGUMENT...]    (the arguments shape the recorded run)
set -uo pipefail
sim=$1
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAILED: $*"
  exit 1
}

mkdir -p "$work/made/phone/elf" "$work/replayed/elsewhere"
# Records the application did not write itself: a Cyrillic note in CP1251 and a bare line feed.
printf '+79001112233 \xcf\xf0\xe8\xe2\xe5\xf2\r\nx\ny\r\n+7 last' >"$work/made/phone/elf/BlackList.txt"
printf 'notes beside the application' >"$work/made/phone/elf/notes.txt"
cd "$work/made" || exit 1
printf 'press down\npress soft-left\npress down 2\npress ok\ntext +7 new one\npress ok\npress soft-left\npress down\npress ok\npress soft-left\n' |
  "$sim" --headless --fs phone "$@" --record bug/report.txt --screenshot made.png --script - >/dev/null ||
  fail "the recorded run ended with $?"
[ -f bug/report.png ] && [ -f bug/report.BlackList.txt ] || fail "no pinned result beside the recording"

cd "$work/replayed/elsewhere" || exit 1
"$sim" --headless --fs ../phone --script "$work/made/bug/report.txt" --screenshot replayed.png ||
  fail "the replay ended with $?: $(cat "$work/made/bug/report.txt")"
for file in BlackList.txt notes.txt; do
  cmp -s "$work/made/phone/elf/$file" "../phone/elf/$file" || fail "the replay's $file differs"
done
cmp -s "$work/made/made.png" replayed.png || fail "the replay's screen differs"
echo "replayed to the same bytes and screen: $*"
