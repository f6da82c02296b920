#!/usr/bin/env bash
# drd_race.sh BUILD: one node shaded from 4 threads at once (render --shared-node) under valgrind's
# drd, which must find no race. drd, not helgrind: Debian 12's helgrind reports pthread_join
# itself. libc6-dbg:i386 lets drd see into the 32-bit libc, whose default suppressions need its
# symbols. Valgrind runs one thread at a time; with its default scheduling the first thread can
# shade a small image alone before the others start, and a race that never overlapped goes
# unseen: --fair-sched takes turns.
set -euo pipefail
source "$(dirname "$0")/common.sh"
valgrind_or_skip
timeout 120 valgrind --tool=drd --error-exitcode=1 --quiet --fair-sched=yes \
    "$1/tonemix-host" render --width 48 --height 32 --set samples=4 --threads 4 --shared-node \
    -o "$check_work/shared.pfm" >/dev/null
echo "drd finds no race among 4 threads shading one node"
