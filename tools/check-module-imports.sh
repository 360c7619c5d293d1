#!/usr/bin/env bash
# Checks that the application module calls nothing but the platform functions that
# src/platform declares: every undefined symbol of the module must be one of them.
# Usage: check-module-imports.sh MODULE PLATFORM_HEADER_DIR
# The ARM module is read with arm-none-eabi-nm, any other with nm (or $NM).
set -euo pipefail
module=$1
headers=$2
[ -f "$module" ] || { echo "$module does not exist: build it first (make target for the phone's module)"; exit 1; }
nm=${NM:-nm}
case $module in *.elf) nm=${NM:-arm-none-eabi-nm} ;; esac

declared=$(grep -ho 'PLATFORM_API[^(]*(' "$headers"/*.h | sed 's/.*[ *]\([A-Za-z_0-9]*\)(/\1/' | sort -u)
imported=$("$nm" -D --undefined-only "$module" | awk '{print $NF}' | sed 's/@.*//' |
  grep -v -E '^(__asan|__ubsan|__sanitizer|__lsan|_ITM_|__gmon_start__|__cxa_finalize)' | sort -u)

strays=$(comm -23 <(echo "$imported") <(echo "$declared"))
if [ -n "$strays" ]; then
  echo "The application calls functions the platform does not declare:"
  echo "$strays" | sed 's/^/  /'
  exit 1
fi
echo "The application imports $(echo "$imported" | wc -l) functions, all declared by the platform."
