#!/bin/sh
# The GoogleTest entry script on a probe program: it passes a run whose tests passed or were
# skipped, and fails a run given no test, a run with a failed test, a program that ended early with
# exit code 0, and one that crashed, at once rather than at a time-out.
#   $1 gtest_entry.sh, $2 the probe program
set -u
entry=${1:?usage: gtest_entry_test.sh <gtest_entry.sh> <probe program>}
probe=${2:?usage: gtest_entry_test.sh <gtest_entry.sh> <probe program>}
unset VELMO_GTEST_COUNTS
expect() {  # $1: pass or fail, $2: the verdict line it must print, $3: the tests to run
  out=$(timeout 60 sh "$entry" probe "$probe" --gtest_filter="$3" 2>&1)
  rc=$?
  [ "$rc" -eq 124 ] && { echo "$3: still running after 60 s"; exit 1; }
  if { [ "$1" = pass ] && [ "$rc" -ne 0 ]; } || { [ "$1" = fail ] && [ "$rc" -eq 0 ]; }; then
    echo "$3: expected the entry to $1, exit code $rc:"; echo "$out"; exit 1
  fi
  case $out in *"$2"*) ;; *) echo "$3: expected \"$2\", got:"; echo "$out"; exit 1 ;; esac
}
expect pass 'probe: 1 passed, 0 failed, 1 skipped' 'Probe.Passes:Probe.Skipped'
expect fail 'probe: no test was given' 'Probe.NoSuchTest'
expect fail 'probe: 1 passed, 1 failed' 'Probe.Passes:Probe.Fails'
expect fail 'probe: ended early: no closing summary (exit code 0) after 2 of 2 tests started' \
  'Probe.Passes:Probe.EndsEarly'
expect fail 'probe: ended early: no closing summary' 'Probe.Crashes'
echo "gtest entry: no test, a failed test, an early end and a crash fail their entry"
