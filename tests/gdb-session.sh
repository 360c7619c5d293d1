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
simulator= debugger= xvfb=
cleanup() {
  [ -n "$debugger" ] && kill "$debugger" 2>/dev/null
  [ -n "$simulator" ] && kill "$simulator" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
failures=0

# What a person does while gdb runs its commands: Ctrl-C once gdb has let the module go on
# (with "set debug remote 1" gdb prints the packet that does it); in the window, a key that
# stops the module at a breakpoint (held until the module has started), a key pressed while it
# is paused, and Ctrl-C once the module runs again.
printed() {  # printed FILE TEXT COUNT: waits until TEXT has been printed COUNT times
  for _ in $(seq 400); do [ "$(grep -cF -- "$2" "$1")" -ge "$3" ] && return; sleep 0.05; done
}
interrupt() {
  printed "$1/gdb" 'Sending packet: $vCont;c' 1
  sleep 0.2
  kill -INT "$debugger"
}
window_keys() {
  local window
  window=$(timeout 20 xdotool search --sync --onlyvisible --name '^nuv-oka$' | head -1)
  xdotool mousemove --window "$window" 100 100
  xdotool key Down  # held while the module waits before its entry
  printed "$1/gdb" PAUSED 1
  xdotool key Down
  printed "$1/gdb" 'Sending packet: $vCont;c' 1
  sleep 0.5
  kill -INT "$debugger"
}

# check NAME STATUS ELF SIM-ARGUMENTS SCRIPT GDB-COMMANDS EXPECTED [DRIVER]
#   SCRIPT: the phone's script (printf escapes), or "-" to keep standard input open and idle.
#   GDB-COMMANDS: one a line. EXPECTED: extended regular expressions, one a line, each of which
#   some line of gdb's output must match. DRIVER: a function above, run while gdb runs.
check() {
  local name=$1 status=$2 elf=$3 args=$4 script=$5 commands=$6 expected=$7 driver=${8:-}
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
  timeout 60 "$sim" --fs "$dir/phone" --gdb 0 --script "$scriptArg" $args <"$input" >"$dir/out" 2>"$dir/err" &
  simulator=$!
  for _ in $(seq 200); do grep -q '127\.0\.0\.1:[0-9]' "$dir/out" 2>/dev/null && break; sleep 0.05; done
  local port
  port=$(grep -oE '127\.0\.0\.1:[0-9]+' "$dir/out" | head -1 | cut -d: -f2)
  { echo "target remote :$port"; printf '%s\n' "$commands"; } >"$dir/commands"
  # --foreground: Ctrl-C (SIGINT) reaches gdb once, not once more through a process group.
  timeout --foreground 60 gdb-multiarch -batch -nx "$elf" -x "$dir/commands" >"$dir/gdb" 2>&1 &
  debugger=$!
  [ -z "$driver" ] || "$driver" "$dir"
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
# on a function, the Thumb state, steps of one 16-bit instruction (the second from where the
# program counter was set), finish, and the run's end.
check entry-and-breakpoint 0 "$module" "--headless --module $module" "" \
'x/s $r0
p app_name
break startApp
continue
bt
info registers cpsr
p/x $cpsr & 0x20
stepi
set var $pc = $pc
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
^cpsr +0x[0-9a-f]+ +\[ M=[0-9]+ T .*\]
^\$2 = 0x20$
^0x010[0-9a-f]{5}[[:space:]]+[0-9]+[[:space:]]
^\$3 = .* <startApp\(event_context_t\*, UINT32\)\+4>
^Value returned is \$4 = 0
\[Inferior 1 \(Remote target\) exited normally\]'

# A write watchpoint that a key press sets off, and the frames of the application at that moment;
# a breakpoint on a source line in the next key's handler.
check watch-on-a-key-press 0 "$module" "--headless --module $module" "press down\npress down\n" \
'watch set
continue
bt
delete
break keys.cpp:143
continue
info registers pc
continue' \
'^Hardware watchpoint 1: set
^Old value = 1 .\\001.
^New value = 2 .\\002.
^#0  (select_next|HandleKeypress) .* at .*src/frame/keys.cpp:[0-9]+
^#1  .*HandleKeypress \(ev=0x[0-9a-f]+, app=0x[0-9a-f]+\) at .*keys.cpp
^Breakpoint 2, HandleKeypress .* at .*src/frame/keys.cpp:143
^pc +0x10[0-9a-f]{5} +0x10[0-9a-f]{5} <HandleKeypress
\[Inferior 1 \(Remote target\) exited normally\]'

# A module that reads memory it does not own: stopped there with SIGSEGV, and it ends with it.
check crash 4 "$crashing" "--headless --module $crashing --app /wild.elf" "" \
'continue
bt
continue' \
'the application crashed: it read from an address it does not own
^Program received signal SIGSEGV, Segmentation fault\.
in Lib \(path=0x[0-9a-f]+ "/wild.elf"\) at .*tests/arm/foreign-address.cpp:10
^#0  0x010[0-9a-f]{5} in Lib
^Program terminated with signal SIGSEGV, Segmentation fault\.'

# One that hands a platform function such an address: stopped in the call, its caller below.
check platform-call-crash 4 "$crashing" "--headless --module $crashing" "" \
'continue
bt' \
'handed DL_FsDeleteFile an address it does not own
^Program received signal SIGSEGV, Segmentation fault\.
^#1  0x010[0-9a-f]{5} in Lib .* at .*tests/arm/foreign-address.cpp:[0-9]+'

# Ctrl-C while the phone waits for input, a global read and written, and detaching: the run ends
# when gdb goes.
check interrupt-and-detach 0 "$module" "--headless --module $module" - \
'set debug remote 1
continue
set debug remote 0
p set
set var set = 3
p set
detach' \
'^Program received signal SIGINT, Interrupt\.
^\$1 = 1 .\\001.
^\$2 = 3 .\\003.
\[Inferior 1 \(Remote target\) detached\]' interrupt

# The window stays alive while the module is paused, and holds the key pressed meanwhile until
# the module runs again (under a virtual X server, where Xvfb and xdotool can be had).
if command -v Xvfb >/dev/null && command -v xdotool >/dev/null; then
  Xvfb -displayfd 3 -screen 0 1024x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
  xvfb=$!
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
  export DISPLAY=:$(cat "$work/display")
  check window-holds-keys-while-paused 0 "$module" "--module $module --scale 1" "" \
'break HandleKeypress
continue
echo PAUSED\n
shell sleep 1
delete
set debug remote 1
continue
set debug remote 0
p set
kill' \
'^Breakpoint 1, HandleKeypress
^Program received signal SIGINT, Interrupt\.
^\$1 = 3 .\\003.
\[Inferior 1 \(Remote target\) killed\]' window_keys
else
  echo "skipped: window-holds-keys-while-paused (Xvfb or xdotool is missing)"
fi

[ "$failures" -eq 0 ] || exit 1
