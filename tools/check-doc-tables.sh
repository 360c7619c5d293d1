#!/usr/bin/env bash
# The manual's tables of options, script actions and exit statuses name exactly what the simulator's --help
# names, so neither can gain or lose one alone.
#
#   check-doc-tables.sh SIM DOCS-FOLDER
set -uo pipefail
sim=$1 docs=$2
help=$("$sim" --help) || { echo "FAILED: $sim --help ended with $?"; exit 1; }
status=0
differ() {  # NAME HELP-LIST DOC-LIST
  local missing extra
  missing=$(comm -23 <(sort -u <<<"$2") <(sort -u <<<"$3"))
  extra=$(comm -13 <(sort -u <<<"$2") <(sort -u <<<"$3"))
  [ -z "$missing" ] || { echo "FAILED: $1 that --help gives and the manual does not:"; echo "$missing"; status=1; }
  [ -z "$extra" ] || { echo "FAILED: $1 that the manual gives and --help does not:"; echo "$extra"; status=1; }
}
# Options: the long names at the start of --help's option lines, and in the first cell of the
# options table's rows.
options=$(grep -oE '^  -?-?[a-z]?,? ?--[a-z0-9-]+' <<<"$help" | grep -oE -- '--[a-z0-9-]+' | grep -v -- '^--help$')
documented=$(grep -E '^\| `--' "$docs/simulator.md" | cut -d'|' -f2 | grep -oE -- '--[a-z0-9-]+')
differ "options" "$options" "$documented"
# Actions: the verbs of the syntax lines of --help's actions, and of the actions table.
actions=$(sed -n '/^Script actions/,/^Keys/p' <<<"$help" | grep -E '^  [a-z]' | awk '{print ($1 == "expect") ? $1 " " $2 : $1}')
documented=$(grep -E '^\| `[a-z]' "$docs/scripts.md" | cut -d'|' -f2 | sed -E 's/^ `([a-z-]+)( ([a-z-]+))?.*/\1 \3/' |
  awk '{print ($1 == "expect") ? $1 " " $2 : $1}')
differ "script actions" "$actions" "$documented"
# Exit statuses: the numbers --help lists, and the first cells of the statuses table.
statuses=$(sed -n '/^Exit statuses/,/^With/p' <<<"$help" | grep -oE '^  [0-9]+' | tr -d ' ')
documented=$(sed -n '/^## Exit statuses/,/^## /p' "$docs/simulator.md" | grep -oE '^\| [0-9]+ ' | tr -d '| ')
differ "exit statuses" "$statuses" "$documented"
[ $status -eq 0 ] && echo "the manual's tables name every option and action of --help"
exit $status
