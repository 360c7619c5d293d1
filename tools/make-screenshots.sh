#!/usr/bin/env bash
# Regenerates the screenshots in docs/screens from the simulator, in both languages.
# Usage: tools/make-screenshots.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
sim=${1:-build}/nuv-oka-sim
out=docs/screens
mkdir -p "$out"
for lang in en ru; do
  phone=$(mktemp -d)
  mkdir -p "$phone/elf"
  printf '+80501234567 info\r\n+79161234567 \xC8\xE2\xE0\xED \xCF\xE5\xF2\xF0\xEE\xE2\r\n+380441234567 \xCC\xE0\xEC\xE0\r\n112 Emergency\r\n+74951112233 Office' \
    > "$phone/elf/BlackList.txt"
  "$sim" --headless --fs "$phone" --lang "$lang" --script - <<SCRIPT
press down
shot $out/list-$lang.png
press soft-left
shot $out/menu-$lang.png
press ok
shot $out/editor-$lang.png
back
press soft-left
press up
press up
press ok
shot $out/about-$lang.png
press ok
press soft-left
press down
press ok
press right
shot $out/exit-$lang.png
SCRIPT
  rm -rf "$phone"
done
echo "Screenshots written to $out"
