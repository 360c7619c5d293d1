#!/usr/bin/env bash
# GDB on the phone's module: each case starts the simulator headless with --gdb 0 (it prints the
# port it took), runs gdb-multiarch -batch against it with the module's symbols, and checks the
# lines gdb prints and the simulator's exit status.
#
#   gdb-session.sh SIM MODULE CRASHING_MODULE
#
# Skipped (status 77) only where gdb-multiarch is missing; tools/install-deps.sh installs it.
set -uo pipefail
sim=$1 module=$2 crashing=$3
if ! command -v gdb-multiarch >/dev/null; then
  echo "SKIPPED: gdb-multiarch is not installed (the Debian package gdb-multiarch; tools/install-deps.sh installs it)"
  exit 77
fi
work=$(mktemp -d)
simulator= debugger=
cleanup() {
  [ -n "$debugger" ] && kill "$debugger" 2>/dev/null
  [ -n "$simulator" ] && kill "$simulator" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
failures=0

# check NAME STATUS ELF SIM-ARGUMENTS SCRIPT GDB-COMMANDS EXPECTED [interrupt]
#   SCRIPT: the phone's script (printf escapes), or "-" to keep standard input open and idle.
#   GDB-COMMANDS: one a line. EXPECTED: extended regular expressions, one a line, each of which
#   some line of gdb's output must match. With "interrupt", gdb gets Ctrl-C (SIGINT) while the
#   module runs, once it has printed RUNNING.
check() {
  local name=$1 status=$2 elf=$3 args=$4 script=$5 commands=$6 expected=$7 interrupt=${8:-}
  local dir=$work/$name
  mkdir -p "$dir/phone/elf"
  printf '+1 one\r\n+2 two\r\n+3 three' >"$dir/phone/elf/BlackList.txt"
  if [ "$script" = - ]; then
    mkfifo "$dir/input"
    exec 3<>"$dir/input"  # open for as long as the case runs: the phone waits for lines
    input=$dir/input scriptArg=-
  else
    printf '%b' "$script" >"$dir/script.txt"
    input=/dev/null scriptArg=$dir/script.txt
  fi
  # shellcheck disable=SC2086
  timeout 60 "$sim" --headless --fs "$dir/phone" --gdb 0 --script "$scriptArg" $args <"$input" >"$dir/out" 2>"$dir/err" &
  simulator=$!
  for _ in $(seq 200); do grep -q '127\.0\.0\.1:[0-9]' "$dir/out" 2>/dev/null && break; sleep 0.05; done
  local port
  port=$(grep -oE '127\.0\.0\.1:[0-9]+' "$dir/out" | head -1 | cut -d: -f2)
  { echo "target remote :$port"; printf '%s\n' "$commands"; } >"$dir/commands"
  timeout 60 gdb-multiarch -batch -nx "$elf" -x "$dir/commands" >"$dir/gdb" 2>&1 &
  debugger=$!
  if [ -n "$interrupt" ]; then
    for _ in $(seq 200); do grep -q '^RUNNING' "$dir/gdb" && break; sleep 0.05; done
    sleep 0.5
    kill -INT "$debugger"
  fi
  wait "$debugger"
  debugger=
  wait "$simulator"
  local got=$?
  simulator=
  [ "$script" = - ] && exec 3>&-
  local problems=()
  [ "$got" -eq "$status" ] || problems+=("the simulator exited with $got, not $status")
  while IFS= read -r pattern; do
    [ -z "$pattern" ] || grep -qE -- "$pattern" "$dir/gdb" || problems+=("gdb printed no line matching: $pattern")
  done <<<"$expected"
  if [ ${#problems[@]} -gt 0 ]; then
    failures=$((failures + 1))
    echo "FAILED: $name"
    printf '  %s\n' "${problems[@]}"
    for f in gdb out err; do echo "--- $f"; cat "$dir/$f"; done
  else
    echo "passed: $name"
  fi
}

# Stopped before the entry runs: its arguments on the stack, a constant in the image, a breakpoint
# on a function, the Thumb state, a step of one 16-bit instruction, finish, and the run's end.
check entry-and-breakpoint 0 "$module" "--module $module" "" \
'x/s $r0
p app_name
break startApp
continue
bt
info registers cpsr
p/x $cpsr & 0x20
stepi
p $pc
finish
continue' \
'^Lib \(path=0x[0-9a-f]+ "/elf/nuv-oka.elf", unused=0x0, base=65536\) at .*src/test/nuv-oka.cpp:[0-9]+
^0x[0-9a-f]+:[[:space:]]+"/elf/nuv-oka.elf"
^\$1 = "nuv-oka\\000
^Breakpoint 1 at 0x10[0-9a-f]{5}: file .*src/test/nuv-oka.cpp, line [0-9]+\.
^Breakpoint 1, startApp \(ev=0x[0-9a-f]+, registration=1\) at .*nuv-oka.cpp:[0-9]+
^#0  startApp \(
^cpsr +0x[0-9a-f]+
^\$2 = 0x20$
^0x010[0-9a-f]{5}[[:space:]]+[0-9]+[[:space:]]
^\$3 = .* <startApp\(event_context_t\*, UINT32\)\+2>
^Value returned is \$4 = 0
\[Inferior 1 \(Remote target\) exited normally\]'

# A write watchpoint that a key press sets off, and the frames of the application at that moment;
# a breakpoint on a source line in the next key's handler.
check watch-on-a-key-press 0 "$module" "--module $module" "press down\npress down\n" \
'watch set
continue
bt
delete
break keys.cpp:141
continue
info registers pc
continue' \
'^Hardware watchpoint 1: set
^Old value = 1 .\\001.
^New value = 2 .\\002.
^#0  (select_next|HandleKeypress) .* at .*src/frame/keys.cpp:[0-9]+
^#1  .*HandleKeypress \(ev=0x[0-9a-f]+, app=0x[0-9a-f]+\) at .*keys.cpp
^Breakpoint 2, HandleKeypress .* at .*src/frame/keys.cpp:141
^pc +0x10[0-9a-f]{5} +0x10[0-9a-f]{5} <HandleKeypress
\[Inferior 1 \(Remote target\) exited normally\]'

# A module that reads memory it does not own: stopped there with SIGSEGV, and it ends with it.
check crash 4 "$crashing" "--module $crashing --app /wild.elf" "" \
'continue
bt
continue' \
'the application crashed: it read from an address it does not own
^Program received signal SIGSEGV, Segmentation fault\.
in Lib \(path=0x[0-9a-f]+ "/wild.elf"\) at .*tests/arm/foreign-address.cpp:10
^#0  0x010[0-9a-f]{5} in Lib
^Program terminated with signal SIGSEGV, Segmentation fault\.'

# Ctrl-C while the phone waits for input, a global read and written, and detaching: the run ends
# when gdb goes.
check interrupt-and-detach 0 "$module" "--module $module" - \
'echo RUNNING\n
continue
p set
set var set = 3
p set
detach' \
'^Program received signal SIGINT, Interrupt\.
^\$1 = 1 .\\001.
^\$2 = 3 .\\003.
\[Inferior 1 \(Remote target\) detached\]' interrupt

[ "$failures" -eq 0 ] || exit 1
