#!/usr/bin/env bash
# Checks that a module calls nothing but the platform functions that src/platform declares:
# every undefined symbol of the module must be one of them. A routine that the compiler calls
# by itself (a division, a jump table's case helper, a block copy) is named with what to write
# instead, since the phone has none of them.
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

# What the compiler called a routine for, and what to write instead.
hint() {
  case $1 in
    __aeabi_*div* | __aeabi_*mod* | __*divsi3 | __*modsi3 | __*divdi3 | __*moddi3)
      echo "a division or remainder (/ or %): the phone's CPU has no divide instruction; use the platform's __rt_udiv(divisor, dividend), or a shift or mask for a power of two" ;;
    __gnu_thumb1_case_* | __gnu_thumb2_case_*)
      echo "a switch compiled to a jump table: build with -fno-jump-tables (the kit does), or write the cases as ifs" ;;
    memcpy | memmove | memset | __aeabi_mem*)
      echo "a copy or fill the compiler made into a call (a struct or array initialiser, a loop): build with -fno-tree-loop-distribute-patterns (the kit does) and copy or fill element by element" ;;
    __aeabi_* | __gnu_* | __*sf* | __*df*)
      echo "a compiler support routine (floating point or 64-bit arithmetic): the phone links none; use 32-bit integers" ;;
    *) echo "not a platform function" ;;
  esac
}

strays=$(comm -23 <(echo "$imported") <(echo "$declared"))
if [ -n "$strays" ]; then
  echo "$module calls functions the platform does not declare:"
  while read -r name; do echo "  $name: $(hint "$name")"; done <<<"$strays"
  exit 1
fi
echo "$module imports $(echo "$imported" | wc -l) functions, all declared by the platform."
