#!/usr/bin/env bash
# serve_page.sh BUILD: the page that serve answers at /, driven in Chromium through its own
# controls: the image it shows after a change is byte for byte what its Reproduce line writes, run
# as a command. Under emulation the Linux program runs under qemu-user, the browser natively. The
# test ends with the screenshot that scripts/docs-images takes for docs/serve.md, so that the way
# to that picture is checked here and the pictures' check need not drive the page a second time.
set -euo pipefail
source "$(dirname "$0")/common.sh"
picture=$check_work/serve.png
timeout 900 node "$top/tests/browser/serve_page_test.mjs" --screenshot "$picture" -- \
    "${tonemix_emulator[@]}" "$1/tonemix-host"
# A PNG's IHDR chunk, right after its signature, holds the width and height.
size=$(od -An -tx1 -j16 -N8 "$picture" 2>/dev/null | tr -d ' \n')
if [ "$(head -c8 "$picture" | od -An -tx1 | tr -d ' \n')" != 89504e470d0a1a0a ] ||
    [ "$size" != 0000050000000320 ]; then
    echo "the page's screenshot is not a 1280x800 PNG: $picture"
    exit 1
fi
echo "the page's screenshot is a 1280x800 PNG"
