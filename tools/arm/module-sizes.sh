#!/usr/bin/env bash
# Prints where the bytes of a phone module go: code, constant data, initialised and zeroed data
# (the module's globals), and the tables the loader reads. Fails when the code and constants pass
# CODE-LIMIT bytes or the globals GLOBALS-LIMIT (by default nuv-oka's budget: 16 KiB and 1 KiB;
# 0 for no limit).
# Usage: module-sizes.sh MODULE.elf [CODE-LIMIT GLOBALS-LIMIT]
set -euo pipefail
readelf=${READELF:-arm-none-eabi-readelf}
"$readelf" -S -W "$1" | awk -v module="$1" -v code_limit="${2:-16384}" -v globals_limit="${3:-1024}" '
  function hex(text,   i, n) {
    n = 0
    for (i = 1; i <= length(text); i++) n = n * 16 + index("0123456789abcdef", tolower(substr(text, i, 1))) - 1
    return n
  }
  # [Nr] Name Type Address Off Size ES Flg ...: the fields after "]".
  /^ *\[ *[0-9]+\]/ {
    sub(/^ *\[ *[0-9]+\] */, "")
    name = $1; type = $2; size = hex($5); flags = $7
    if (flags !~ /A/) next
    if (name ~ /^\.(dynsym|dynstr|hash|gnu\.hash|rel\.dyn|rel\.plt|got|got\.plt|dynamic)$/) loader += size
    else if (flags ~ /X/) code += size
    else if (type == "NOBITS") zeroed += size
    else if (flags ~ /W/ && name !~ /rel\.ro/) data += size
    else constants += size
  }
  END {
    printf "%s:\n", module
    printf "  code               %6d bytes\n", code
    printf "  constant data      %6d bytes\n", constants
    printf "  initialised data   %6d bytes\n", data
    printf "  zeroed data        %6d bytes\n", zeroed
    printf "  loader tables      %6d bytes (symbols, relocations, global offsets)\n", loader
    printf "  code and constants %6d bytes%s\n", code + constants, code_limit ? " of at most " code_limit : ""
    printf "  globals            %6d bytes%s\n", data + zeroed, globals_limit ? " of at most " globals_limit : ""
    if ((code_limit && code + constants > code_limit) || (globals_limit && data + zeroed > globals_limit)) {
      print "  over the budget"; exit 1
    }
  }'
