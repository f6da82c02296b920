#!/usr/bin/env bash
# serve_page.sh BUILD: the page that serve answers at /, driven in Chromium through its own
# controls: the image it shows after a change is byte for byte what its Reproduce line writes, run
# as a command. Under emulation the Linux program runs under qemu-user, the browser natively. The
# test ends with the screenshot that scripts/docs-images takes for docs/serve.md, so that the way
# to that picture is checked here and the pictures' check need not drive the page a second time.
set -euo pipefail
source "$(dirname "$0")/common.sh"
timeout 900 node "$top/tests/browser/serve_page_test.mjs" --screenshot "$check_work/serve.png" \
    -- "${tonemix_emulator[@]}" "$1/tonemix-host"
