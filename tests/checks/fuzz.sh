#!/usr/bin/env bash
# fuzz.sh mutations BUILD | fuzz.sh structural BUILD [LINUX_BUILD]: hostile input run through the
# commands by either Linux build. A crash, a case that hangs or ends otherwise than in one clear
# line, and in the sanitizer build a sanitizer report or more than 1 GB of memory, fails the
# check; the failing case is printed, and --from N --cases 1 makes it again.
#   mutations: scenes, descriptions and command lines made hostile from the project's own files
#   with a fixed seed, 5000 cases.
#   structural: the fixed cases, outputs that are not files, huge descriptions, and, with the
#   build without sanitizers as a user runs it, module files damaged in each section.
# Under emulation the sanitizer build runs with no leak check (the leak checker needs ptrace,
# which the emulator lacks), and the mutations in runs of 250 with a smaller quarantine: an
# emulated sanitized process runs out of address space after a thousand or two.
set -euo pipefail
source "$(dirname "$0")/common.sh"
kind=$1 fuzz=$2/tests/tonemix_fuzz log="$check_work/fuzz.log"
export ASAN_OPTIONS=hard_rss_limit_mb=1024:detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1
run=5000
if grep -qx 'TONEMIX_SANITIZE:BOOL=ON' "$2/CMakeCache.txt" && emulated_here; then
    ASAN_OPTIONS=hard_rss_limit_mb=1024:detect_leaks=0:quarantine_size_mb=8
    run=250
    echo "under emulation: no leak check, $run cases a process"
fi
status=0
if [ "$kind" = mutations ]; then
    for ((from = 0; from < 5000; from += run)); do
        timeout 300 "${tonemix_emulator[@]}" "$fuzz" --from "$from" --cases "$run" >"$log" 2>&1 ||
            status=$?
        tail -n 1 "$log"
        [ "$status" -eq 0 ] || break
    done
    [ "$status" -eq 0 ] || grep -m 20 -E 'FAIL|ERROR|SUMMARY|  \|' "$log"
    exit "$status"
fi
damaged=()
if [ -n "${3:-}" ] && [ -x "$3/tonemix-host" ]; then
    damaged=(--damaged-program "$3/tonemix-host" --damaged-module "$3/Tonemix.cdl" --damages 8)
else
    echo "no linux-i686 build in ${3:-(none named)}: the damaged module files are left out"
fi
timeout 600 "${tonemix_emulator[@]}" "$fuzz" --structural "${damaged[@]}" >"$log" 2>&1 ||
    status=$?
tail -n 1 "$log"
[ "$status" -eq 0 ] || grep -m 20 -E 'FAIL|ERROR|SUMMARY|  \|' -A3 "$log"
exit "$status"
