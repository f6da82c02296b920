#!/usr/bin/env bash
# docs_images.sh BUILD: every scene of scenes/ renders cleanly (exit 0, nothing on stderr:
# scripts/docs-images fails a render that warns, and its own stderr must stay empty too), and
# docs/images/ holds exactly, byte for byte, what scripts/docs-images writes with this build: no
# picture missing, stale or extra. serve.png, the page's screenshot, is only looked for: the
# browser test (browser.serve_page) checks the page, and a second run of it here would double this
# check's time and race the unit tests for the processors while the page waits on its renders.
set -euo pipefail
source "$(dirname "$0")/common.sh"
cd "$top"
fresh="$check_work/docs-images" status=0 problems=0
scripts/docs-images --program "$1/tonemix-host" --out "$fresh" --skip serve >"$check_work/out" \
    2>"$check_work/err" || status=$?
if [ "$status" -ne 0 ] || [ -s "$check_work/err" ]; then
    cat "$check_work/err"
    echo "scripts/docs-images exited $status or wrote to stderr (above)"
    exit 1
fi
# Pairs scenes and pictures by name without the script, so that a script that skipped a scene
# cannot hide the scene's missing picture.
for scene in scenes/*.json; do
    name=$(basename "$scene" .json)
    [ -f "docs/images/scenes/$name.png" ] ||
        { echo "$scene has no picture docs/images/scenes/$name.png"; problems=1; }
done
for file in docs/images/scenes/*.png; do
    [ -e "$file" ] || continue
    name=$(basename "$file" .png)
    [ -f "scenes/$name.json" ] || { echo "$file has no scene scenes/$name.json"; problems=1; }
done
while IFS= read -r -d '' file; do
    file=${file#"$fresh"/}
    if [ ! -f "docs/images/$file" ]; then
        echo "docs/images/$file is not committed"
        problems=1
    elif ! cmp -s "$fresh/$file" "docs/images/$file"; then
        echo "docs/images/$file differs from what scripts/docs-images renders now"
        problems=1
    fi
done < <(find "$fresh" -type f -print0 | sort -z)
while IFS= read -r -d '' file; do
    file=${file#docs/images/}
    # A browser's screenshot repeats only nearly (see scripts/docs-images): committed is all that
    # is asked of it.
    [ "$file" != serve.png ] || continue
    [ -f "$fresh/$file" ] ||
        { echo "docs/images/$file is not written by scripts/docs-images"; problems=1; }
done < <(find docs/images -type f -print0 | sort -z)
[ -f docs/images/serve.png ] || { echo "docs/images/serve.png is not committed"; problems=1; }
if [ "$problems" -ne 0 ]; then
    echo "run scripts/docs-images (after building linux-i686), look at the pictures and commit" \
        "docs/images/"
    exit 1
fi
echo "every scene renders cleanly, and docs/images/ is what scripts/docs-images writes"
