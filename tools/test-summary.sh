#!/usr/bin/env bash
# The last line of `make test`: what passed, from the logs of its stages.
#
#   test-summary.sh PLAIN-TESTS-LOG SANITIZER-TESTS-LOG FUZZ-LOG
set -uo pipefail
tests() { sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' "$1" | tail -1; }
fuzzers=$(grep -c '^fuzz_.*nothing found' "$3")
runs=$(sed -n 's/^fuzz_.*, \([0-9]*\) runs, nothing found/\1/p' "$3" | awk '{ n += $1 } END { print n + 0 }')
seconds=$(sed -n 's/^fuzz_[a-z]*: \([0-9]*\) s,.*/\1/p' "$3" | head -1)
echo "== make test: all passed: $(tests "$1") tests plain, $(tests "$2") under AddressSanitizer and UBSan, $fuzzers fuzzers for ${seconds:-0} s each ($runs runs)"
