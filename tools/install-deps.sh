#!/usr/bin/env bash
# Makes sure what building, running and testing need is on the machine. Each Debian package is
# probed by what it provides (a command, a header, a pkg-config module), so the check also passes
# where the packages came another way. What is missing is installed with apt-get when run as
# root, and named otherwise. NUV_SKIP_DEPS=1 skips the check altogether.
set -euo pipefail
[ "${NUV_SKIP_DEPS:-0}" = 1 ] && exit 0

# package        probe
probes=(
  "cmake             command:cmake"
  "make              command:make"
  "g++               command:g++"
  "pkg-config        command:pkg-config"
  "clang             command:clang++"
  "libclang-rt-14-dev glob:/usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-*.a"
  "libgtest-dev      file:/usr/include/gtest/gtest.h"
  "libbenchmark-dev  file:/usr/include/benchmark/benchmark.h"
  "libpng-dev        pkg:libpng"
  "libcli11-dev      file:/usr/include/CLI/CLI.hpp"
  "libexpected-dev   file:/usr/include/tl/expected.hpp"
  "libsdl2-dev       pkg:sdl2"
  "libgif-dev        file:/usr/include/gif_lib.h"
  "libunicorn-dev    pkg:unicorn"
  "libdw-dev         pkg:libdw"
  "libssl-dev        pkg:libcrypto"
  "gcc-arm-none-eabi command:arm-none-eabi-g++"
  "valgrind          command:valgrind"
  "lcov              command:genhtml"
  "xvfb              command:Xvfb"
  "xdotool           command:xdotool"
  "imagemagick       command:import"
  "gdb-multiarch     command:gdb-multiarch"
  "emscripten        command:emcc"
  "nodejs            command:node"
  "npm               command:npm"
  "chromium          command:chromium"
)

present() {
  local kind=${1%%:*} what=${1#*:}
  case $kind in
  command) command -v "$what" >/dev/null 2>&1 ;;
  file) [ -e "$what" ] ;;
  glob) compgen -G "$what" >/dev/null ;;
  pkg) command -v pkg-config >/dev/null 2>&1 && pkg-config --exists "$what" ;;
  esac
}

missing=()
for line in "${probes[@]}"; do
  read -r package probe <<<"$line"
  present "$probe" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null 2>&1; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
else
  echo "Missing: ${missing[*]}" >&2
  echo "On Debian: sudo apt-get install ${missing[*]}" >&2
  echo "(NUV_SKIP_DEPS=1 skips this check.)" >&2
  exit 1
fi
