#!/usr/bin/env bash
# The kit used from a project outside nuv-oka's tree: tests/kit/ copied to a temporary folder,
# configured and built there. Its module builds for both targets with its description beside it,
# and runs on the simulator on both; modules that need a routine the phone lacks fail to build,
# saying what to write instead.
#   run.sh SIM KIT-FILE
set -uo pipefail
sim=$1 kit=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}
cp -r "$here" "$work/project"
rm -f "$work/project/run.sh"
configure() { cmake -S "$work/project" -B "$work/build" -DNUVOKA_KIT="$kit" "$@" >"$work/configure.log" 2>&1; }
configure || { cat "$work/configure.log"; exit 1; }
if ! cmake --build "$work/build" -j2 >"$work/build.log" 2>&1; then
  cat "$work/build.log"
  exit 1
fi
grep -qE "hello.elf:$" "$work/build.log" || fail "the build does not print the phone module's sizes"
grep -qE "code and constants +[0-9]+ bytes" "$work/build.log" || fail "no size of code and constants"
for file in hello.so hello.elf hello.desc; do
  [ -f "$work/build/$file" ] || fail "the build left no $file"
done

# Both run with nothing but --module: their own states by the description's names.
for kind in so elf; do
  output=$(printf 'expect state greeting\npress down 3\nshot %s.png\npress end\nexpect state ended\n' "$kind" |
    (cd "$work" && "$sim" --headless --fs "ph-$kind" --module "build/hello.$kind" --trace --script - 2>&1))
  status=$?
  [ "$status" -eq 0 ] || fail "hello.$kind: status $status: $output"
  grep -q "state greeting: key" <<<"$output" || fail "hello.$kind: the trace names no state or handler: $output"
done
cmp -s "$work/so.png" "$work/elf.png" || fail "the two builds draw different screens"

# The misdeeds: each fails the build with what to write instead.
configure -DKIT_MISDEEDS=ON || { cat "$work/configure.log"; exit 1; }
# check TARGET PATTERN: building TARGET fails, saying PATTERN.
check() {
  local output
  if output=$(cmake --build "$work/build" --target "$1" 2>&1); then
    fail "$1 was built"
  else
    grep -qE -- "$2" <<<"$output" || fail "$1: no \"$2\" in: $output"
  fi
  [ ! -e "$work/build/$1.elf" ] || fail "$1: a refused module was left in the build folder"
}
check divides "__aeabi_uidiv: a division or remainder .*__rt_udiv\\(divisor, dividend\\)"
check copies "memcpy: a copy or fill the compiler made into a call"
check too-big "code and constants +[0-9]+ bytes of at most 1024"

[ "$failures" -eq 0 ] || exit 1
echo "the kit: every case passed"
