#!/usr/bin/env bash
# The simulator knows a module only from the module and its description file: nuv-oka's own
# modules, copied under another name without their description, run as any other module would.
#
#   any-module.sh SIM HOST-MODULE ARM-MODULE
set -uo pipefail
sim=$1 host=$2 arm=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
mkdir -p mods elsewhere
cp "$host" mods/counter.so
cp "$arm" mods/counter.elf
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}
# run NAME STATUS PATTERN SCRIPT ARGUMENT...: the run ends with STATUS and says PATTERN.
run() {
  local name=$1 status=$2 pattern=$3 script=$4
  shift 4
  output=$(printf '%b' "$script" | "$sim" --headless "$@" 2>&1)
  local got=$?
  [ "$got" -eq "$status" ] || fail "$name: status $got, not $status: $output"
  [ -z "$pattern" ] || grep -qE -- "$pattern" <<<"$output" || fail "$name: no \"$pattern\" in: $output"
}
ADD='press soft-left\npress down 2\npress ok\n'

for module in mods/counter.so mods/counter.elf; do
  kind=${module##*.}
  # Its file on the phone follows its name; its states are numbers; typed text arrives as typed
  # ("é" is U+00E9, which the application stores as the byte E9).
  run "$kind: states by number" 0 "event 0x0014, state 2: Tim" "expect state 2\n${ADD}expect state 3\ntext Caf\xc3\xa9\npress ok\nexpect state 2\npress end\nexpect state ended\n" \
    --fs "ph-$kind" --module "$module" --trace --script -
  cmp -s "ph-$kind/elf/BlackList.txt" <(printf '+80501234567 info\r\nCaf\xe9') || fail "$kind: the typed text is not as typed"
  run "$kind: no state names without a description" 2 "names no state main \\(it has none: mods/counter.desc would name them" \
    "expect state main\n" --fs "ph-$kind" --module "$module" --script -
done

# A description names the states and the rule of typed text; a bad one is refused by its line.
printf '# the counter\nstate.2 = counting\ntyping = cp1251\n' >mods/counter.desc
run "described states" 0 "state counting: Tim" "expect state counting\n${ADD}text Caf\xc3\xa9\npress ok\n" \
  --fs ph-desc --module mods/counter.so --trace --script -
cmp -s ph-desc/elf/BlackList.txt <(printf '+80501234567 info\r\nCaf?') || fail "the description's typing rule is not kept"
for bad in 'state.x = a' 'state.2 = 2nd' 'state.2 = ended' 'typing = latin' 'colour = red' 'state.2 = a\nstate.2 = b' 'no equals'; do
  printf '# the counter\n%b\n' "$bad" >mods/counter.desc
  run "bad description: $bad" 2 "counter.desc line [0-9]" "" --fs ph-bad --module mods/counter.so
done
rm mods/counter.desc

# A recording names its module and replays without --module, on an empty folder, from elsewhere:
# the phone's module by itself; a module built for this computer only when the command line names
# it, since its code would run unguarded.
# It carries every file of the phone folder, in other folders too.
for module in mods/counter.elf mods/counter.so; do
  kind=${module##*.}
  mkdir -p "rec-$kind/notes/deep" && printf 'kept' >"rec-$kind/notes/deep/n.txt"
  run "$kind: recorded" 0 "" "${ADD}text new\npress ok\n" --fs "rec-$kind" --module "$module" --record "bug/$kind.txt" --script -
  grep -qE -- "^options .*--app /elf/counter.elf --module \.\./mods/counter\.$kind --module-sha256 [0-9a-f]{64}" "bug/$kind.txt" ||
    fail "$kind: the recording does not name its module: $(cat "bug/$kind.txt")"
done
cd elsewhere && run "the phone's module replays by itself" 0 "" "" --fs replay-elf --script ../bug/elf.txt; cd ..
cmp -s elsewhere/replay-elf/elf/BlackList.txt rec-elf/elf/BlackList.txt || fail "the ARM recording replays to other bytes"
cmp -s elsewhere/replay-elf/notes/deep/n.txt rec-elf/notes/deep/n.txt || fail "the recording left out a file of another folder"
cd elsewhere && run "a host module is not loaded by a script" 2 "a module built for this computer, whose code would run unguarded.*--module" "" \
  --fs replay-so --script ../bug/so.txt; cd ..
[ ! -e elsewhere/replay-so ] || fail "a refused recording made a phone folder"
cd elsewhere && run "a host module the command line names" 0 "" "" --fs replay-so --module ../mods/counter.so --script ../bug/so.txt; cd ..
cmp -s elsewhere/replay-so/elf/BlackList.txt rec-so/elf/BlackList.txt || fail "the host recording replays to other bytes"
# Replayed against another build, a module whose hash differs is said, and the run goes on.
cp "$host" mods/other.so
printf 'x' >>mods/other.so
cd elsewhere && run "another build" 0 "the module ../mods/other.so is not the one the script was recorded with \\(its SHA-256 is [0-9a-f]{64}, the script's [0-9a-f]{64}\\)" "" \
  --fs replay-other --module ../mods/other.so --script ../bug/so.txt; cd ..
run "a bad hash" 2 "--module-sha256 takes 64 hexadecimal digits" "" --module-sha256 abc

[ "$failures" -eq 0 ] || exit 1
echo "any module: every case passed"
