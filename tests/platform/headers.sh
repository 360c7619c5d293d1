#!/usr/bin/env bash
# The platform's headers build as C11 and as C++20, for this computer and for the phone's CPU,
# with the warnings the application's build gives, as errors.
#   headers.sh SRC-DIR HOST-CC ARM-CC
set -uo pipefail
src=$1 host=$2 arm=$3
file=$(dirname "$0")/every_header.c
warnings=(-Wall -Wextra -Wpedantic -Werror)
phone=(-mcpu=arm926ej-s -mthumb -Os -ffreestanding -fPIC -fno-jump-tables)
failures=0
# check NAME COMPILER ARGUMENT...: compiles the file without output; says what failed.
check() {
  local name=$1
  shift
  if ! command -v "$1" >/dev/null 2>&1; then
    echo "FAILED: $name: there is no compiler $1 (install gcc-arm-none-eabi for the phone)"
    failures=$((failures + 1))
    return
  fi
  if output=$("$@" "${warnings[@]}" -I "$src" -fsyntax-only "$file" 2>&1); then
    echo "ok: $name"
  else
    echo "FAILED: $name:"
    head -n 12 <<<"$output"
    failures=$((failures + 1))
  fi
}
check "C11 for this computer" "$host" -std=c11
check "C++20 for this computer" "$host" -x c++ -std=c++20
check "C11 for the phone" "$arm" -std=c11 "${phone[@]}"
check "C++20 for the phone" "$arm" -x c++ -std=c++20 "${phone[@]}" -fno-exceptions -fno-rtti
[ "$failures" -eq 0 ]
