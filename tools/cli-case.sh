#!/usr/bin/env bash
# One case of the simulator's command line, run as a user would run it: in a fresh folder,
# with a script on standard input. Checks the exit status, that the output matches a pattern,
# and what the run left in the folder.
#
#   cli-case.sh SIM STATUS PATTERN SCRIPT [CHECK]... -- ARGUMENT...
#
# SCRIPT and the contents below take printf's backslash escapes (\n, \r, \xNN). CHECK is one of
#   --file PATH CONTENT   the file holds exactly CONTENT
#   --edited PATH SED CONTENT  the file, edited by the sed -E expression SED (to take out what
#                         differs from machine to machine), holds exactly CONTENT
#   --output CONTENT      the run said exactly CONTENT (on standard output and error together)
#   --says PATTERN        the run said a line that matches PATTERN too
#   --absent PATH         nothing lies at PATH
#   --png PATH            a 176 x 220 PNG lies at PATH
#   --copy FOLDER         FOLDER is copied into the fresh folder before the run
set -uo pipefail
sim=$1 status=$2 pattern=$3 script=$4
shift 4
checks=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do checks+=("$1"); shift; done
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
for ((i = 0; i < ${#checks[@]}; i++)); do
  [ "${checks[i]}" = --copy ] && cp -r "${checks[i + 1]}" .
done
output=$(printf '%b' "$script" | "$sim" "$@" 2>&1)
got=$?
fail() {
  echo "FAILED: $*"
  echo "nuv-oka-sim $* exited with $got and said:"
  echo "$output"
  exit 1
}
[ "$got" -eq "$status" ] || fail "status $got, not $status"
[ -z "$pattern" ] || grep -qE -- "$pattern" <<<"$output" || fail "no \"$pattern\" in the output"
set -- "${checks[@]+"${checks[@]}"}"
while [ $# -gt 0 ]; do
  case $1 in
  --file) cmp -s "$2" <(printf '%b' "$3") || fail "$2 holds $(od -c "$2" 2>&1 | head -3)"; shift 3 ;;
  --edited) cmp -s <(sed -E "$3" "$2") <(printf '%b' "$4") || fail "$2 edited holds $(sed -E "$3" "$2" 2>&1 | od -c | head -5)"; shift 4 ;;
  --says) grep -qE -- "$2" <<<"$output" || fail "no \"$2\" in the output"; shift 2 ;;
  --output) [ "$output" = "$(printf '%b' "$2")" ] || fail "the output is not as expected"; shift 2 ;;
  --absent) [ ! -e "$2" ] || fail "$2 exists"; shift 2 ;;
  --copy) shift 2 ;;
  --png) [ "$(od -An -tx1 -j16 -N8 "$2" 2>/dev/null | tr -d ' \n')" = "000000b0000000dc" ] || fail "$2 is no 176 x 220 PNG"; shift 2 ;;
  *) fail "unknown check $1" ;;
  esac
done
exit 0
