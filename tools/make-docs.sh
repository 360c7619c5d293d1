#!/usr/bin/env bash
# Draws every picture in docs/ anew from the scripts in docs/scripts/: the screens in both
# languages, the window, and a GIF of a whole session (the font sheets come from the build's
# font_docs target). Run by `make docs`.
# Usage: tools/make-docs.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
scripts=$PWD/docs/scripts
mkdir -p docs/screens

# A phone holding five records, Latin and Cyrillic (CP1251), in a fresh folder.
phone() {
  local folder
  folder=$(mktemp -d)
  mkdir -p "$folder/elf"
  printf '+80501234567 info\r\n+79161234567 \xC8\xE2\xE0\xED \xCF\xE5\xF2\xF0\xEE\xE2\r\n+380441234567 \xCC\xE0\xEC\xE0\r\n112 Emergency\r\n+74951112233 Office' \
    >"$folder/elf/BlackList.txt"
  echo "$folder"
}

for lang in en ru; do
  folder=$(phone)
  (cd "$folder" && "$build/nuv-oka-sim" --headless --fs . --lang "$lang" --script "$scripts/screens.txt")
  for shot in "$folder"/*.png; do mv "$shot" "docs/screens/$(basename "$shot" .png)-$lang.png"; done
  rm -rf "$folder"
done

folder=$(phone)
"$build/nuv-oka-window-picture" "$folder" en 2 docs/window.png <"$scripts/window.txt"
rm -rf "$folder"

folder=$(phone)
"$build/nuv-oka-sim" --headless --fs "$folder" --lang en --delay 700 --gif docs/session.gif --script "$scripts/session.txt"
rm -rf "$folder"
# The web page (make web) in headless Chromium.
if [ -f build-web/nuvoka.wasm ] && command -v chromium >/dev/null 2>&1; then
  [ -d tests/web/node_modules ] || (cd tests/web && npm ci --no-audit --no-fund --loglevel=error)
  folder=$(phone)
  node tests/web/picture.mjs build-web docs/web.png "$folder/elf/BlackList.txt"
  rm -rf "$folder"
else
  echo "docs/web.png is left as it was: it needs make web and Chromium"
fi
echo "Pictures written to docs/"
