#!/usr/bin/env bash
# The web page's test: builds build-web/ (tools/build-web.sh), installs puppeteer-core from the
# lockfile (npm ci, only when the lockfile changed) and drives the page in headless Chromium.
#   run.sh BUILD_WEB_DIR NUV_OKA_SIM
# Exits 77 (skipped) where Chromium or Emscripten is missing.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
for tool in chromium emcc node npm; do
  command -v "$tool" >/dev/null 2>&1 || { echo "web_page: $tool is missing: skipped"; exit 77; }
done
"$here/../../tools/build-web.sh" "$1"
stamp="$here/node_modules/.lock-sha"
sha=$(sha256sum "$here/package-lock.json" | cut -d' ' -f1)
if [ "$(cat "$stamp" 2>/dev/null)" != "$sha" ]; then
  (cd "$here" && npm ci --no-audit --no-fund --loglevel=error)
  echo "$sha" >"$stamp"
fi
exec node "$here/page.test.mjs" "$1" "$2"
