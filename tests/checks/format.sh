#!/usr/bin/env bash
# Every .cpp and .h file that git knows is as clang-format writes it. The files go to clang-format
# fifty at a time, two at once: a process a file spends most of its time starting clang-format.
set -euo pipefail
source "$(dirname "$0")/common.sh"
cd "$top"
status=0
git ls-files -z '*.cpp' '*.h' |
    xargs -0 -n 50 -P 2 clang-format --dry-run --Werror >/dev/null 2>"$check_work/err" || status=$?
unformatted=$(sed -nE 's/^([^:]+):[0-9]+:[0-9]+: error: .*/\1/p' "$check_work/err" | sort -u)
if [ -n "$unformatted" ]; then
    echo "not as clang-format writes them:" $unformatted
    exit 1
fi
# A failure that names no file is clang-format's own (not installed, a file it cannot read).
[ "$status" -eq 0 ] || { cat "$check_work/err"; exit 1; }
echo "every .cpp and .h file is as clang-format writes it"
