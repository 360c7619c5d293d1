#!/usr/bin/env bash
# Builds the web page with Debian's Emscripten: static files only (index.html, the page's own
# JavaScript and CSS, the glue nuvoka.js and nuvoka.wasm) in build-web/, or in the folder given.
# The objects go to build-web-obj/ (NUV_WEB_OBJ). `make web` and the page's test run this.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/build-web}")
obj=${NUV_WEB_OBJ:-$root/build-web-obj}
# Emscripten's optimiser finds Debian's acorn through NODE_PATH where node is not Debian's own:
# the folder that holds the acorn package the system installed.
acorn=$(dpkg -L node-acorn 2>/dev/null | grep -m1 '/acorn/package\.json$' || true)
[ -z "$acorn" ] || export NODE_PATH=$(dirname "$(dirname "$acorn")")${NODE_PATH:+:$NODE_PATH}
if ! command -v emcmake >/dev/null 2>&1; then
  echo "build-web.sh: Emscripten is missing (Debian: apt-get install emscripten)" >&2
  exit 1
fi
# The header-only libraries the page compiles with (tl::expected, CLI11), where the host's own
# compiler finds them.
host_header() {
  echo "#include <$1>" | c++ -std=c++20 -x c++ -M - 2>/dev/null | tr ' \\' '\n\n' |
    awk -v h="/$1" '!found && substr($0, length($0) - length(h) + 1) == h { found = 1; print substr($0, 1, length($0) - length(h)) }'

}
includes="$(host_header tl/expected.hpp);$(host_header CLI/CLI.hpp)"
mkdir -p "$obj"
if [ ! -f "$obj/CMakeCache.txt" ] || ! grep -q "NUV_WEB_OUT:PATH=$out\$" "$obj/CMakeCache.txt"; then
  (cd "$root" && emcmake cmake --preset web -B "$obj" -DNUV_WEB_OUT="$out" -DNUV_WEB_HOST_INCLUDES="$includes") >"$obj/configure.log" 2>&1 ||
    { cat "$obj/configure.log"; exit 1; }
fi
# The build's progress and warnings are shown; all of it is in build.log.
if ! cmake --build "$obj" -j"${JOBS:-2}" 2>&1 | tee "$obj/build.log" | { grep -E '^\[ *[0-9]+%\]|warning:' || true; }; then
  cat "$obj/build.log"
  exit 1
fi
echo "build-web.sh: $(du -cb "$out"/* | tail -1 | cut -f1) bytes in $out"
