#!/usr/bin/env bash
# wine_serve.sh LINUX_BUILD WINDOWS_BUILD: the Windows program's serve under wine answers; see
# wine_serve.py.
set -euo pipefail
source "$(dirname "$0")/common.sh"
wine_or_skip
build_or_skip "$1" linux-i686
tonemix_wine cmd /c exit 0 >/dev/null 2>&1 || true
exec python3 "$top/tests/checks/wine_serve.py" "$1" "$2"
