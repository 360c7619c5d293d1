#!/usr/bin/env bash
# Compiles every source of the application for the phone's 32-bit ARM CPU, freestanding,
# without exceptions or RTTI: proves it needs nothing of the host and that the framework
# records have the phone's layout (the headers check it where pointers are 32 bits).
# Usage: check-phone-build.sh CLANG++ SOURCE_DIR GENERATED_FONT_TABLE
set -euo pipefail
clang=$1
src=$2
font=$3
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
count=0
for f in $(find "$src" -name '*.cpp' | sort) "$font"; do
  "$clang" --target=armv5te-none-eabi -mcpu=arm926ej-s -ffreestanding -fno-exceptions -fno-rtti \
    -std=c++17 -Os -Wall -Wextra -Werror -Wno-unused-parameter -I"$src" -c "$f" -o "$out/$count.o"
  count=$((count + 1))
done
echo "$count sources compile for the phone's CPU."
