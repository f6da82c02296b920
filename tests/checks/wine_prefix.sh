#!/usr/bin/env bash
# The wine prefix made once before the checks that run wine side by side, and a wine server that
# stays up between them: a wine program that starts just as the last one's server ends fails with
# "wine client error", and a server already running saves each program its start.
set -euo pipefail
source "$(dirname "$0")/common.sh"
wine_or_skip
tonemix_wine cmd /c exit 0 >/dev/null 2>&1 ||
    { echo "wine cannot start a program in $WINEPREFIX"; exit 1; }
# A server that is up already (another program's, kept by its own -p) answers with status 2, and
# serves as well.
wineserver -p 300 || true
echo "wine prefix $WINEPREFIX ready"
