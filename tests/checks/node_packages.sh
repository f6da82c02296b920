#!/usr/bin/env bash
# The node packages of the browser test and the page's lint, as tests/browser/package-lock.json
# pins them: installed once, before the checks that need them.
set -euo pipefail
source "$(dirname "$0")/common.sh"
tonemix_browser_setup
