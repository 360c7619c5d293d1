#!/usr/bin/env bash
# The simulator's real window under a virtual X server, driven with real key and mouse events:
# a click on the left soft key opens the menu, "Add line" is chosen, the editor's text is erased
# and "+7 Привет" typed, a call comes and goes (F6), the text is confirmed; F12 writes a screenshot
# and says so in the window for a while; the application is left through the exit window, opened
# with F2, which the key map gives to the left soft key. The window then shows the end until F5
# starts the application again; Escape ends it, and Escape closes the window. Then the record file
# must hold the new record, and the recorded session, replayed headless, must give the same bytes
# and the same screen. Last, short runs: an empty script with --exit closes the window at once, a
# --scale too large for the screen says what it opens at, and the title names the module that runs.
#
#   window-e2e.sh SIM [ARM_MODULE]
#
# Skipped (status 77) only where Xvfb, xdotool or ImageMagick's import is missing;
# tools/install-deps.sh installs them.
set -uo pipefail
sim=$1 arm=${2:-}
for tool in Xvfb xdotool import; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: $tool is not installed (the Debian packages xvfb, xdotool and imagemagick; tools/install-deps.sh installs them)"
    exit 77
  fi
done

work=$(mktemp -d)
xvfb= simulator=
cleanup() {
  [ -n "$simulator" ] && kill "$simulator" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAILED: $*"
  for f in out err session.txt; do [ -f "$work/$f" ] && { echo "--- $f"; cat "$work/$f"; }; done
  exit 1
}

# A display of its own: Xvfb picks a free number and writes it to descriptor 3.
Xvfb -displayfd 3 -screen 0 1280x1280x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=:$(cat "$work/display")

printf '# The soft key on F2, which no longer changes the language.\nF2 = soft-left\n' >"$work/keys.txt"
"$sim" --fs "$work/phone" --lang en --scale 2 --keymap "$work/keys.txt" --record "$work/session.txt" \
  --screenshot "$work/window.png" >"$work/out" 2>"$work/err" &
simulator=$!
window=$(timeout 20 xdotool search --sync --onlyvisible --name '^nuv-oka - host module$' | head -1)
[ -n "$window" ] || fail "no window appeared, or its title does not name the host module"

# Whether the band of a notice lies over the top of the display, at (13, 21) in the body's units:
# its colour, as the window shows RGB565 (150, 40, 30).
noticed() { import -window "$window" -crop 1x1+26+42 txt:- 2>/dev/null | grep -q '(148,40,24)'; }
# Waits until the notice is shown (yes) or not (no), at most 5 s.
notice_becomes() {
  for _ in $(seq 50); do
    if noticed; then [ "$1" = yes ] && return 0; else [ "$1" = no ] && return 0; fi
    sleep 0.1
  done
  return 1
}

# Without a window manager the keyboard follows the pointer. The left soft key lies at (12, 248)
# to (52, 260) in the body's units, twice that on the screen at scale 2.
# A window just shown may not take input yet (the machine may be busy): the click is given again
# until the recording shows that it opened the menu.
for _ in $(seq 10); do
  xdotool mousemove --window "$window" 64 508 click 1
  for _ in $(seq 50); do grep -q '^press soft-left' "$work/session.txt" 2>/dev/null && break 2; sleep 0.1; done
done
grep -q '^press soft-left' "$work/session.txt" || fail "the window took no click"
xdotool key --delay 40 Down Down Return
# Typing reaches the editor once the window has seen it open: keys typed before are keys alone.
for _ in $(seq 50); do grep -q '^press ok' "$work/session.txt" && break; sleep 0.1; done
sleep 0.5
xdotool key --delay 20 --repeat 17 BackSpace
xdotool type --delay 60 '+7 Привет'
# A call comes (F6) and goes (F6): what is pressed and typed meanwhile reaches the call screen only.
xdotool key --delay 40 F6 Down
xdotool type --delay 60 'x'
xdotool key --delay 40 F6
xdotool key --delay 40 Return
notice_becomes no || fail "a notice shows before F12"
xdotool key F12
notice_becomes yes || fail "F12 shows no notice in the window"
ls "$work/phone/screenshots/"nuv-oka-*.png >/dev/null 2>&1 || fail "F12 wrote no screenshot"
grep -q 'screenshot written to' "$work/out" || fail "F12 did not say where its screenshot went"
sleep 2
notice_becomes no || fail "the notice of F12 did not go"

xdotool key --delay 40 F2 Down Down Return Right Return
notice_becomes yes || fail "the window shows no notice when the application has ended"
kill -0 "$simulator" 2>/dev/null || fail "the window closed when the application ended without --exit"
grep -q '^restart' "$work/session.txt" && fail "F2 restarted the application though the key map gives it to the soft key"
xdotool key F5
for _ in $(seq 50); do grep -q '^restart en' "$work/session.txt" && break; sleep 0.1; done
grep -q '^restart en' "$work/session.txt" || fail "F5 did not start the application again after its end"
notice_becomes no || fail "the end's notice stays after F5"
xdotool key Escape
notice_becomes yes || fail "the end key did not end the application"
xdotool key Escape

for _ in $(seq 300); do kill -0 "$simulator" 2>/dev/null || break; sleep 0.1; done
kill -0 "$simulator" 2>/dev/null && fail "Escape did not close the window after the application ended"
wait "$simulator"
status=$?
simulator=
[ "$status" -eq 0 ] || fail "the simulator exited with $status"

expected=$(printf '+80501234567 info\r\n+7 \xCF\xF0\xE8\xE2\xE5\xF2' | od -An -tx1)
[ "$(od -An -tx1 "$work/phone/elf/BlackList.txt")" = "$expected" ] || fail "BlackList.txt holds $(od -c "$work/phone/elf/BlackList.txt")"
grep -qx 'text +7 Привет' "$work/session.txt" || fail "the recording lacks the typed text"
grep -qx 'interrupt' "$work/session.txt" && grep -qx 'resume' "$work/session.txt" || fail "the recording lacks the call"

"$sim" --headless --fs "$work/replay" --script "$work/session.txt" --screenshot "$work/replay.png" 2>>"$work/err" ||
  fail "the recording did not replay"
cmp -s "$work/phone/elf/BlackList.txt" "$work/replay/elf/BlackList.txt" || fail "the replay wrote other bytes"
cmp -s "$work/window.png" "$work/replay.png" || fail "the replay ended on another screen"

# With --exit an empty script, from a file or from standard input, closes the window at once. A
# scale too large for the 1280 x 1280 screen is said once, with the scale the window opens at.
: >"$work/empty.txt"
timeout 20 "$sim" --fs "$work/short" --script "$work/empty.txt" --exit --scale 5 >"$work/out" 2>"$work/err" ||
  fail "an empty script with --exit did not close the window (status $?)"
[ "$(grep -c 'at scale 5 the window would not fit the screen (1280 x 1280 usable): it opens at scale 3' "$work/err")" = 1 ] ||
  fail "--scale 5 did not say once that the window opens at scale 3"
timeout 20 "$sim" --fs "$work/short" --script - --exit </dev/null >"$work/out" 2>"$work/err" ||
  fail "an empty script on standard input with --exit did not close the window (status $?)"

# The title names the phone's own module on the emulated CPU.
if [ -n "$arm" ]; then
  sleep 5 | "$sim" --fs "$work/arm" --module "$arm" --script - --exit >"$work/out" 2>"$work/err" &
  simulator=$!
  timeout 20 xdotool search --sync --onlyvisible --name '^nuv-oka - ARM module$' >/dev/null ||
    fail "the title does not name the ARM module"
  wait "$simulator" || fail "the run of the ARM module ended with $?"
  simulator=
fi
echo "The window took a click, keys and typed Cyrillic, said what F12 did and when the application ended;"
echo "the recording replays to the same file and screen; empty scripts close it, titles name the module."
