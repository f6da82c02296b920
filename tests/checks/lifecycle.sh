#!/usr/bin/env bash
# lifecycle.sh LINUX_BUILD WINDOWS_BUILD: tonemix-host info -v gives the same lifecycle results
# for the Windows module under wine as for the Linux one (all but the first line, which names the
# file).
set -euo pipefail
source "$(dirname "$0")/common.sh"
wine_or_skip
linux_build=$1 windows_build=$2
build_or_skip "$linux_build" linux-i686
linux=$(tonemix_run32 "$linux_build/tonemix-host" info -v "$linux_build/Tonemix.cdl" | tail -n +2)
windows=$(tonemix_wine "$windows_build/tonemix-host.exe" info -v "$windows_build/Tonemix.cdl" |
    tr -d '\r' | tail -n +2)
echo "$linux"
if [ "$linux" != "$windows" ]; then
    diff <(echo "$linux") <(echo "$windows") || true
    exit 1
fi
