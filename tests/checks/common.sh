# shellcheck shell=bash
# The helpers of the check scripts beside this file, which ctest runs (tests/checks/CMakeLists.txt)
# with the paths they need on their command lines. A check that cannot run here ends with
# skip_check: one line "skipped: REASON" and the skip code that ctest knows as a skip, never as a
# pass.
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# shellcheck source=../../scripts/setup
source "$top/scripts/setup"

tonemix_skip_code=77  # TONEMIX_SKIP_CODE of CMakeLists.txt

skip_check() {
    echo "skipped: $*"
    exit "$tonemix_skip_code"
}

# Whether 32-bit programs run emulated here: scripts/test has asked already and says so in
# TONEMIX_EMULATED; a ctest run of its own asks the probe, which keeps its answer for the boot.
emulated_here() {
    if [ -z "${TONEMIX_EMULATED:-}" ]; then tonemix_32bit >&2 || exit 1; fi
    [ "$TONEMIX_EMULATED" = 1 ]
}

wine_or_skip() {
    if emulated_here; then skip_check "$tonemix_no_wine"; fi
    return 0
}

valgrind_or_skip() {
    if emulated_here; then skip_check "valgrind does not run 32-bit code on an emulated processor"; fi
    return 0
}

# build_or_skip FOLDER PRESET: the other build a check compares with must have been made.
build_or_skip() {
    [ -x "$1/tonemix-host" ] || [ -f "$1/tonemix-host.exe" ] ||
        skip_check "needs the $2 build, not found in $1 (build it, or set TONEMIX_LINUX_BUILD)"
}

# without_wine_lines FILE: wine's own messages on stderr and the carriage returns of the Windows
# programs' lines taken out.
without_wine_lines() {
    tr -d '\r' <"$1" | grep -v -E '^[0-9a-f]{4}:(err|fixme):' || true
}

check_work=$(mktemp -d)
trap 'rm -rf "$check_work"' EXIT
