#!/usr/bin/env bash
# readme_commands.sh native|wine: runs, as written and from the top of the repository, every
# command of the README's ```sh blocks. "native" runs those that need no wine; "wine" those that
# do, and the build of the Windows preset they need. scripts/test and ctest are left out, since
# they are what runs this. Files a command writes at the top (box.png, ...) are removed again
# unless they were there before. One line per command; exit status non-zero when any command
# fails.
set -euo pipefail
source "$(dirname "$0")/common.sh"
kind=$1
cd "$top"
[ "$kind" = native ] || wine_or_skip
[ -x build/linux-i686/tonemix-host ] ||
    skip_check "the README's commands need the linux-i686 build in build/linux-i686"

readme_commands() {  # the commands of the README's sh blocks, comments and blank lines dropped
    awk '/^```sh$/ { inside = 1; next } /^```/ { inside = 0 } inside' README.md |
        sed -e 's/[[:space:]]*#.*$//' -e '/^[[:space:]]*$/d'
}

# serve_until_it_answers COMMAND: runs a serve command until it prints its address (at most 120 s,
# however slow an emulator makes the start), then sends it SIGINT, as Ctrl-C does; its status is
# the command's, and no address is status 1.
serve_until_it_answers() {
    local log tries status=0
    log=$(mktemp)
    bash -c "exec $1" </dev/null >"$log" 2>&1 &
    local server=$!
    for ((tries = 0; tries < 600; tries++)); do
        grep -q '^serving http://127.0.0.1:[0-9]*/' "$log" && break
        kill -0 "$server" 2>/dev/null || break
        sleep 0.2
    done
    grep -q '^serving http://127.0.0.1:[0-9]*/' "$log" || status=1
    kill -INT "$server" 2>/dev/null || true
    wait "$server" || status=$?
    cat "$log"
    rm -f "$log"
    return "$status"
}

before=$check_work/before
# Only files at the top that git would show: never the build folders or ignored files.
git ls-files --others --exclude-standard | grep -v / >"$before" || true
failed=0 count=0
while IFS= read -r command; do
    case "$command" in
    scripts/test | *ctest*) continue ;;
    esac
    needs_wine=no
    case "$command" in *wine* | *windows-i686*) needs_wine=yes ;; esac
    if [ "$kind" = wine ] && [ $needs_wine = no ]; then continue; fi
    if [ "$kind" = native ] && [ $needs_wine = yes ]; then continue; fi
    count=$((count + 1))
    output="" status=0
    # The README's own words, through bash: no command is rewritten for the test. serve runs
    # until stopped: it must print its address, then stop cleanly on Ctrl-C.
    case "$command" in
    *" serve"*) output=$(serve_until_it_answers "$command") || status=$? ;;
    *) output=$(bash -c "$command" </dev/null 2>&1) || status=$? ;;
    esac
    if [ $status -ne 0 ]; then
        echo "README command failed (exit $status): $command"
        printf '%s\n' "$output" | tail -n 5 | sed 's/^/    /'
        failed=1
    else
        echo "README command works: $command"
    fi
done < <(readme_commands)
git ls-files --others --exclude-standard | grep -v / | grep -vxF -f "$before" |
    while IFS= read -r made; do
        rm -f -- "$made"
    done
if [ $count -eq 0 ]; then
    echo "README: no $kind command found"
    exit 1
fi
exit $failed
