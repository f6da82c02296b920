#!/usr/bin/env bash
# validate.sh linux|windows BUILD [ARGUMENT...]: the build's tonemix-host validate puts the build's
# own module through every group of hostile host behaviour, each group in a child process (the
# Windows program under wine), and passes it: exit 0, and a JUnit report, as a CI system would
# read it, that counts no failure.
set -euo pipefail
source "$(dirname "$0")/common.sh"
kind=$1 build=$2
shift 2
report="$check_work/validate.xml" status=0
if [ "$kind" = windows ]; then
    wine_or_skip
    tonemix_wine "$build/tonemix-host.exe" validate "$build/Tonemix.cdl" --junit "$report" "$@" \
        >"$check_work/out" 2>&1 || status=$?
    without_wine_lines "$check_work/out"
else
    tonemix_run32 "$build/tonemix-host" validate "$build/Tonemix.cdl" --junit "$report" "$@" \
        >"$check_work/out" 2>&1 || status=$?
    cat "$check_work/out"
fi
[ "$status" -eq 0 ] || { echo "validate exited $status"; exit 1; }
failures=$(python3 "$top/tests/checks/junit_failures.py" "$report")
[ "$failures" = 0 ] || { echo "its JUnit report counts $failures failures"; exit 1; }
