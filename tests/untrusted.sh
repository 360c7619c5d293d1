#!/usr/bin/env bash
# What someone else hands you: scripts, recordings and phone folders built to write outside the
# folders named, leak a file, hang or take memory. One row an input: the status it must end with,
# a word its message must hold, and afterwards nothing outside the working folder may have
# changed. Each run has 20 s: a hang fails its row.
#
#   untrusted.sh SIM [ARM_MODULE]
#
# Without ARM_MODULE (a build without the phone's module) the row that runs it is skipped.
set -uo pipefail
sim=$(realpath "$1") arm=${2:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0

# A folder outside every folder a run names, with a file to overwrite and a secret to leak.
outside=$work/outside
mkdir -p "$outside"
printf 'keep me' >"$outside/v"
printf 'SECRET-KEY-BYTES' >"$outside/secret"
secret64=$(base64 <"$outside/secret")
snapshot() { (cd "$outside" && find . -printf '%p %s %y\n' | sort && cat v secret) | md5sum; }

# A PNG whose header says 60000 x 60000, with a valid header checksum.
png_bomb() {
  python3 -c '
import struct, sys, zlib
ihdr = struct.pack(">IIBBBBB", 60000, 60000, 8, 2, 0, 0, 0)
chunk = lambda kind, data: struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
sys.stdout.buffer.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", b"x" * 40))' >"$1"
}

# row NAME STATUS WORD SETUP SCRIPT [ARGUMENT...]: SETUP runs in the working folder first (a
# phone folder `phone` is there); SCRIPT is the script's text (printf's escapes).
row() {
  local name=$1 status=$2 word=$3 setup=$4 script=$5
  shift 5
  local run=$work/run-$name
  mkdir -p "$run/phone/elf"
  (cd "$run" && eval "$setup") || { echo "FAILED $name: its setup"; failed=1; return; }
  printf "$script" >"$run/script.txt"
  local before
  before=$(snapshot)
  (cd "$run" && timeout 20 "$sim" --headless --fs phone --script script.txt "$@" >out 2>err)
  local got=$?
  local said
  said=$(cat "$run/out" "$run/err")
  if [ "$got" != "$status" ]; then
    echo "FAILED $name: status $got, not $status: ${said:0:300}"
    failed=1
  elif [ -n "$word" ] && ! grep -qF -- "$word" <<<"$said"; then
    echo "FAILED $name: no \"$word\" in: ${said:0:300}"
    failed=1
  elif [ "$(snapshot)" != "$before" ]; then
    echo "FAILED $name: the folder outside changed"
    failed=1
  elif [ "$(wc -c <"$run/err")" -gt 4000 ]; then
    echo "FAILED $name: $(wc -c <"$run/err") bytes of message"
    failed=1
  elif grep -rqF -- "$secret64" "$run" || grep -rqF SECRET-KEY "$run"; then
    echo "FAILED $name: the secret was copied"
    failed=1
  else
    echo "passed: $name"
  fi
}

records='printf "+7 one\r\n+7 two" >phone/elf/BlackList.txt'
delete='press soft-left\npress down\npress ok\npress ok\n'

# Writes and leaks outside the folders named.
row shot-absolute 2 "lies outside" "" "shot $outside/v\n"
row shot-climbing 2 "--allow-any-path" "" "shot ../outside/x/y.png\n"
row shot-through-a-link 2 "lies outside" "ln -s $outside sneaky" "shot sneaky/v\n"
row expect-screen-outside 2 "lies outside" "" "expect screen $outside/v\n"
row expect-file-outside 2 "lies outside" "" "expect file /elf/BlackList.txt ../outside/secret\n"
row record-a-link-out 0 "leaves out /elf/notes.txt: it is a link" "ln -s $outside/secret phone/elf/notes.txt" \
  "press down\n" --record rec.txt
row put-through-a-hard-link 0 "" "ln $outside/v phone/elf/n; printf hello >hello" "put /elf/n aGVsbG8=\nexpect file /elf/n hello\n"
row diff-picture-stays-inside 1 "shown in ref.diff.png" "$records" "shot ref.png\npress down\nexpect screen ref.png\n"
# Special files: refused at once, never waited on.
row expect-file-dev-zero 2 "it is a device" "" "expect file /elf/BlackList.txt /dev/zero\n" --allow-any-path
row expect-file-fifo 2 "it is a FIFO" "mkfifo f" "expect file /elf/BlackList.txt f\n"
row expect-screen-fifo 2 "it is a FIFO" "mkfifo f.png" "expect screen f.png\n"
row shot-fifo 2 "it is a FIFO" "mkfifo f.png" "shot f.png\n"
row put-over-a-phone-fifo 2 "it is a FIFO" "mkfifo phone/elf/f" "put /elf/f aGk=\n"
row expect-a-phone-fifo 1 "it is a FIFO" "mkfifo phone/elf/f; printf hi >hi" "expect file /elf/f hi\n"
row temporary-file-a-fifo 0 "" "$records; cp phone/elf/BlackList.txt before; mkfifo phone/elf/BlackList.tmp" \
  "${delete}expect state main\nexpect file /elf/BlackList.txt before\n"
# Memory and messages: bounded.
row png-bomb 2 "60000 x 60000 pixels, not 176 x 220" "$(declare -f png_bomb); png_bomb bomb.png" \
  "expect screen bomb.png\n"
row long-bad-line 2 "bytes)" "" "press $(head -c 1000000 /dev/zero | tr '\0' k)\x1b[2J\n"
row escape-bytes-escaped 2 '\x1B[2J' "" "press \x1b[2J\n"
row keymap-zero-byte 2 "without zero bytes" "printf 'F2\\0x = ok\\n' >keys" "" --keymap keys
row keymap-not-utf8 2 "UTF-8" "printf '\\xff = ok\\n' >keys" "" --keymap keys
# A record file that cannot be read: nothing is written over it.
row record-file-a-folder 0 "" "mkdir phone/elf/BlackList.txt" "${delete}shot seen.png\n"
row record-file-a-link-out 0 "" "ln -s $outside/secret phone/elf/BlackList.txt" "${delete}shot seen.png\n"
row record-file-a-fifo 0 "" "mkfifo phone/elf/BlackList.txt" "${delete}shot seen.png\n"
# The phone's module that runs past its budget: said as the budget, with the option.
if [ -n "$arm" ]; then
  row over-the-budget 4 "--budget N raises it" "" "press down\n" --arm --budget 5000
else
  echo "skipped: over-the-budget: this build has no phone's module"
fi

exit $failed
