#!/usr/bin/env bash
# release_archive.sh PLATFORM LINUX_BUILD WINDOWS_BUILD: packs PLATFORM's release archive
# (linux-i686 or windows-i686) from its build as scripts/release does, unpacks it into an empty
# folder outside the source tree and uses it from there as a user would:
#
# - the folder holds Tonemix/Tonemix.cdl with its res/, tonemix-host beside it and README.txt;
# - the binaries import the system's libraries and nothing else, and hold no folder of the source
#   tree they were built in;
# - tonemix-host --version names the archive's version and the module it finds in Tonemix/;
# - info and validate pass on that module, and its render of the built-in scene is the build
#   tree's render of it, byte for byte.
#
# The Windows archive's programs run under wine, and the check is skipped with its reason where
# wine cannot run.
set -euo pipefail
source "$(dirname "$0")/common.sh"
platform=$1 linux_build=$2 windows_build=$3
case "$platform" in
linux-i686)
    build=$linux_build program=tonemix-host system=Linux
    build_or_skip "$build" linux-i686
    ;;
windows-i686)
    wine_or_skip
    build=$windows_build program=tonemix-host.exe system=Windows
    ;;
*)
    echo "release_archive.sh: unknown platform '$platform'" >&2
    exit 2
    ;;
esac
version=$(sed -n 's/^#define TONEMIX_PROGRAM_VERSION "\(.*\)"$/\1/p' \
    "$build/program_version/program_version.h")
stamp=$(git -C "$top" log -1 --format=%ct HEAD 2>/dev/null || echo 315532800)
archive=$("$top/scripts/pack-release" --platform "$platform" --build "$build" \
    --version "$version" --time "$stamp" --out "$check_work/dist")
echo "packed $(basename "$archive"): $(stat -c %s "$archive") bytes"

unpacked=$check_work/unpacked
mkdir -p "$unpacked"
case "$archive" in
*.zip) python3 -m zipfile -e "$archive" "$unpacked" ;;
*) tar -xzf "$archive" -C "$unpacked" ;;
esac
folder=$unpacked/Tonemix-$version-$platform
failed=0
fail() {
    echo "FAILED: $*"
    failed=1
}
for file in "$program" Tonemix/Tonemix.cdl Tonemix/res/description/Xtonemix.json README.txt \
    scenes/box_on_plane.json docs/render.md; do
    [ -f "$folder/$file" ] || fail "the archive has no $file in $(basename "$folder")/"
done
[ "$failed" = 0 ] || exit 1
# zip keeps no permission that Windows reads; the Linux program must come out runnable.
[ "$platform" = windows-i686 ] || [ -x "$folder/$program" ] || fail "$program is not executable"

# Libraries every machine of the platform has (the 32-bit C library's parts, Windows' own DLLs),
# and on Linux those the archive ships in lib/.
if [ "$platform" = linux-i686 ]; then
    allowed=" libc.so.6 libm.so.6 ld-linux.so.2 libpthread.so.0 libdl.so.2 librt.so.1 "
    for shipped in "$folder"/lib/*; do
        [ -f "$shipped" ] && allowed+="$(basename "$shipped") "
    done
    runpath=$(readelf -d "$folder/$program" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]$/\1/p')
    [ "$runpath" = '$ORIGIN/lib' ] || fail "$program's run path is '$runpath', not \$ORIGIN/lib"
    imports() { readelf -d "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p' | sort; }
else
    allowed=" kernel32.dll msvcrt.dll ws2_32.dll mswsock.dll bcrypt.dll advapi32.dll user32.dll "
    imports() {
        i686-w64-mingw32-objdump -p "$1" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u
    }
fi
for binary in "$program" Tonemix/Tonemix.cdl; do
    libraries=$(imports "$folder/$binary" | tr '\n' ' ')
    echo "imports of $binary: ${libraries% }"
    for library in $libraries; do
        case "$allowed" in
        *" $library "*) ;;
        *) fail "$binary imports $library, which a user's machine need not have" ;;
        esac
    done
    if grep -q -a -F "$top" "$folder/$binary"; then
        fail "$binary holds the path of the source tree it was built in ($top)"
    fi
    # A Windows binary's link time (the file header's word at 8 past the PE signature) is 0:
    # the link and the strip that packs it must not stamp the day it was made.
    if [ "$platform" = windows-i686 ]; then
        linked=$(python3 -c 'import struct, sys
data = open(sys.argv[1], "rb").read()
(pe,) = struct.unpack_from("<I", data, 0x3C)
print(struct.unpack_from("<I", data, pe + 8)[0])' "$folder/$binary")
        [ "$linked" = 0 ] || fail "$binary is stamped with the link time $linked, not 0"
    fi
done

# The programs run from an empty folder of their own, not the archive's.
run=$check_work/run
mkdir -p "$run"
# host_in FOLDER ARGS...: the program of FOLDER (the archive's or the build tree's).
host_in() {
    local from=$1
    shift
    if [ "$platform" = linux-i686 ]; then
        (cd "$run" && tonemix_run32 "$from/$program" "$@")
    else
        (cd "$run" && tonemix_wine "$from/$program" "$@")
    fi
}
unpacked_host() { host_in "$folder" "$@"; }
build_host() { host_in "$build" "$@"; }

unpacked_host --version >"$run/version.txt" 2>"$run/version.err" || fail "--version failed"
# The C++ runtime is the archive's own, not the one this machine happens to have installed.
if [ "$platform" = linux-i686 ]; then
    LD_DEBUG=libs unpacked_host --version >/dev/null 2>"$run/libraries.txt" || true
    for shipped in "$folder"/lib/*; do
        if grep -q -F "calling init: $shipped" "$run/libraries.txt"; then
            echo "loaded from the archive: lib/$(basename "$shipped")"
        else
            fail "lib/$(basename "$shipped") of the archive was not the one loaded"
        fi
    done
fi
tr -d '\r' <"$run/version.txt" >"$run/version.lines"
first=$(sed -n 1p "$run/version.lines")
[ "$first" = "tonemix-host $version ($system build)" ] ||
    fail "--version says '$first', not tonemix-host $version ($system build)"
grep -q '^module Tonemix [0-9.]*: .*Tonemix.cdl$' "$run/version.lines" ||
    fail "--version found no module beside the program: $(sed -n 2p "$run/version.lines")"
sed -n 2p "$run/version.lines"

if unpacked_host info >"$run/info.txt" 2>"$run/info.err"; then
    echo "info: passed"
else
    fail "info failed: $(without_wine_lines "$run/info.err" | tail -3)"
fi
if unpacked_host validate --junit validate.xml >"$run/validate.txt" 2>"$run/validate.err"; then
    echo "validate: $(tr -d '\r' <"$run/validate.txt" | tail -1)"
else
    tr -d '\r' <"$run/validate.txt" | tail -20
    fail "validate failed"
fi
# A small render of the built-in scene, one thread, from the archive and from the build tree.
size=(--width 64 --height 48 --threads 1)
unpacked_host render -o unpacked.pfm "${size[@]}" >/dev/null 2>"$run/render.err" ||
    fail "render failed: $(without_wine_lines "$run/render.err" | tail -3)"
build_host render -o built.pfm "${size[@]}" >/dev/null 2>"$run/built.err" ||
    fail "the build tree's render failed: $(without_wine_lines "$run/built.err" | tail -3)"
if [ -f "$run/unpacked.pfm" ] && cmp -s "$run/unpacked.pfm" "$run/built.pfm"; then
    echo "render: the archive's image is the build tree's, $(stat -c %s "$run/built.pfm") bytes"
else
    fail "the archive's render is not the build tree's"
fi
exit "$failed"
