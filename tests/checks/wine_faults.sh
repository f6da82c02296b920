#!/usr/bin/env bash
# wine_faults.sh BUILD: the Windows program's isolation under wine. A faulty module that crashes
# fails its group alone, with the exception and the case, and a thiscall entry that pops the
# wrong number of bytes is caught there as on Linux.
set -euo pipefail
source "$(dirname "$0")/common.sh"
wine_or_skip
build=$1 out="$check_work/out" status=0
tonemix_wine "$build/tonemix-host.exe" validate \
    "$build/faulty/null_context_dereferenced/Tonemix.cdl" --level 3 --seed 1 \
    2>/dev/null | tr -d '\r' >"$out" || true
cat "$out"
grep -q '^render-records: FAIL: crashed: exception 0xC0000005 (access violation) during case' \
    "$out" && grep -qx '6 passed, 1 failed' "$out" || status=1
tonemix_wine "$build/tonemix-host.exe" validate "$build/faulty/thiscall_pops_wrong/Tonemix.cdl" \
    --only nodes --level 1 2>/dev/null | tr -d '\r' >"$out" || true
cut -c1-160 "$out"
grep -q '^nodes: FAIL: cycle 1: release_render popped 8 bytes of arguments, 4 expected' "$out" ||
    status=1
exit "$status"
