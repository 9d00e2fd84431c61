#!/bin/sh
# Runs one GoogleTest program under Wine as a ctest entry. The entry passes only when the program
# reached its own end and every test it was given ran and passed: exit code 0, GoogleTest's closing
# summary printed, as many tests run as the program lists for the same arguments, none failed. A
# program that is given no test, ends early (whatever its exit code), crashes, or runs fewer tests
# than it was given fails the entry with a line that says which. The counts go to stdout and, when
# VELMO_GTEST_COUNTS names a folder, into a file there named after the entry, which ./run test
# prints at its end.
#   $1 the entry's name, $2 the test program, then its arguments (--gtest_filter and the like)
set -u
entry=${1:?usage: gtest_entry.sh NAME PROGRAM [ARGUMENTS...]}
program=${2:?usage: gtest_entry.sh NAME PROGRAM [ARGUMENTS...]}
shift 2
output=$(mktemp)
trap 'rm -f "$output"' EXIT

verdict() {  # $1: the line that sums up the entry, $2: its exit code
  echo "$1"
  if [ -n "${VELMO_GTEST_COUNTS:-}" ]; then
    mkdir -p "$VELMO_GTEST_COUNTS" && echo "$1" >"$VELMO_GTEST_COUNTS/$entry.txt"
  fi
  exit "$2"
}

# The tests the program is given: its listing for the same arguments, without disabled ones.
# Console output of a Windows program ends its lines with CR LF.
if ! wine "$program" "$@" --gtest_list_tests >"$output" 2>&1; then
  tr -d '\r' <"$output"
  verdict "$entry: the program could not list its tests" 1
fi
given=$(tr -d '\r' <"$output" | awk '
  /^[^ ]/ { suite = $1; next }
  /^  [^ ]/ { if (suite !~ /^DISABLED_/ && $1 !~ /^DISABLED_/) n++ }
  END { print n + 0 }')
if [ "$given" -eq 0 ]; then
  verdict "$entry: no test was given" 1
fi

wine "$program" "$@" >"$output" 2>&1
code=$?
tr -d '\r' <"$output"
summary=$(tr -d '\r' <"$output" |
  sed -n 's/^\[==========\] \([0-9][0-9]*\) tests\{0,1\} from .* ran\..*$/\1/p' | tail -n 1)
listed() {  # $1: FAILED or SKIPPED: how many tests GoogleTest's summary lists under that word
  tr -d '\r' <"$output" |
    sed -n "s/^\\[  $1 *\\] \\([0-9][0-9]*\\) tests\\{0,1\\}, listed below:\$/\\1/p" | tail -n 1
}
failed=$(listed FAILED); failed=${failed:-0}
skipped=$(listed SKIPPED); skipped=${skipped:-0}

if [ -z "$summary" ]; then
  verdict "$entry: ended early: no closing summary (exit code $code) after $(tr -d '\r' <"$output" |
    grep -c '^\[ RUN      \]') of $given tests started" 1
fi
if [ "$summary" -ne "$given" ]; then
  verdict "$entry: ran $summary of the $given tests it was given (exit code $code)" 1
fi
if [ "$failed" -ne 0 ] || [ "$code" -ne 0 ]; then
  verdict "$entry: $((summary - failed)) passed, $failed failed (exit code $code)" 1
fi
verdict "$entry: $((summary - skipped)) passed, 0 failed, $skipped skipped" 0
