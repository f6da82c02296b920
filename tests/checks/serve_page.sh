#!/usr/bin/env bash
# serve_page.sh BUILD: the page that serve answers at /, driven in Chromium through its own
# controls: the image it shows after a change is byte for byte what its Reproduce line writes, run
# as a command. Under emulation the Linux program runs under qemu-user, the browser natively. The
# test ends with the screenshot that scripts/docs-images takes for docs/serve.md, so that the way
# to that picture is checked here and the pictures' check need not drive the page a second time.
set -euo pipefail
source "$(dirname "$0")/common.sh"
# Each wait is bounded at 120 s; under emulation a render of the built-in scene at the page's size
# took over that on a loaded 2-core machine, so there each wait may take 300 s.
wait_limit=120
if emulated_here; then wait_limit=300; fi
timeout 900 node "$top/tests/browser/serve_page_test.mjs" --screenshot "$check_work/serve.png" \
    --timeout "$wait_limit" -- "${tonemix_emulator[@]}" "$1/tonemix-host"
