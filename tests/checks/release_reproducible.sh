#!/usr/bin/env bash
# release_reproducible.sh: the release is the same bytes wherever it is made. scripts/release packs
# this tree's two builds (--no-build), then runs in a fresh clone of the same commit in another
# folder, with builds of its own; the two archives of each platform and the two SHA256SUMS must
# be equal byte for byte. Skipped with its reason where the tree has uncommitted changes (a clone
# holds the commit alone) or its builds are not of the commit that is checked out.
set -euo pipefail
source "$(dirname "$0")/common.sh"
if [ -n "$(git -C "$top" status --porcelain --untracked-files=normal)" ]; then
    skip_check "the tree has uncommitted changes, and a clone holds only the commit"
fi
here=$check_work/here there=$check_work/there clone=$check_work/clone
if ! "$top/scripts/release" --no-build --out "$here" >"$check_work/here.log" 2>&1; then
    if grep -q "is not a build of the commit" "$check_work/here.log"; then
        skip_check "$(grep -o 'build/[^ ]* is not a build of the commit [0-9a-f]*' \
            "$check_work/here.log" | head -1)"
    fi
    cat "$check_work/here.log"
    echo "FAILED: scripts/release --no-build in $top"
    exit 1
fi
git clone -q --no-hardlinks "$top" "$clone"
git -C "$clone" checkout -q "$(git -C "$top" rev-parse HEAD)"
echo "building the release in a clone of $(git -C "$top" rev-parse --short=10 HEAD) in $clone"
if ! "$clone/scripts/release" --out "$there" >"$check_work/there.log" 2>&1; then
    tail -30 "$check_work/there.log"
    echo "FAILED: scripts/release in the clone"
    exit 1
fi
failed=0
names_here=$(cd "$here" && ls)
names_there=$(cd "$there" && ls)
if [ "$names_here" != "$names_there" ]; then
    echo "FAILED: the two releases hold other files: '$names_here' against '$names_there'"
    exit 1
fi
for name in $names_here; do
    if cmp -s "$here/$name" "$there/$name"; then
        echo "the same: $name, $(stat -c %s "$here/$name") bytes"
    else
        echo "FAILED: $name differs between $top and the clone"
        failed=1
        case "$name" in
        *.zip | *.tar.gz) python3 "$(dirname "$0")/archive_differences.py" "$here/$name" \
            "$there/$name" ;;
        esac
    fi
done
cat "$here/SHA256SUMS"
exit "$failed"
