#!/usr/bin/env bash
# wine_outputs.sh WINDOWS_BUILD: the Windows program's outputs that are not regular files, as on
# Linux: a FIFO receives the bytes of a file, a full device behind a link loses the image in one
# line (exit 1) and stays a device, a folder is refused before the render (exit 2), NUL takes the
# image, a full standard output is one line (exit 1), and -o - gives the file's bytes.
set -euo pipefail
source "$(dirname "$0")/common.sh"
wine_or_skip
exe=$1/tonemix-host.exe dir=$check_work status=0 line=""
size=(--width 16 --height 9)
# expect STATUS LINE COMMAND...: the command's exit status and its last line on stderr.
expect() {
    local want=$1 said=$2 got=0
    shift 2
    tonemix_wine "$exe" "$@" >"$dir/out" 2>"$dir/err" || got=$?
    line=$(without_wine_lines "$dir/err" | tail -n 1)
    if [ "$got" -ne "$want" ] || [ "$line" != "$said" ]; then
        echo "$*: exit $got, \"$line\" (expected exit $want, \"$said\")"
        status=1
    fi
}
tonemix_wine "$exe" render "${size[@]}" -o "$dir/file.png" >/dev/null 2>&1 ||
    { echo "a render to a file failed"; exit 1; }
mkfifo "$dir/fifo.png"
timeout 120 cat "$dir/fifo.png" >"$dir/received.png" &
reader=$!
tonemix_wine "$exe" render "${size[@]}" -o "$dir/fifo.png" >/dev/null 2>&1 || status=1
wait "$reader" || true
if ! cmp -s "$dir/file.png" "$dir/received.png" || [ ! -p "$dir/fifo.png" ]; then
    echo "the FIFO did not receive the file's bytes, or is no longer a FIFO"
    status=1
fi
if mknod "$dir/full" c 1 7 2>/dev/null; then
    ln -s "$dir/full" "$dir/to-full.png"
    expect 1 "tonemix-host: $dir/to-full.png: cannot write: No space left on device" \
        render "${size[@]}" -o "$dir/to-full.png"
    [ -c "$dir/full" ] || { echo "the device was replaced"; status=1; }
else
    echo "no device node can be made here: the full device is left out"
fi
mkdir "$dir/inside" && ln -s "$dir/inside" "$dir/to-folder.png"
expect 2 "tonemix-host: $dir/to-folder.png: is a folder, not an image file" \
    render "${size[@]}" -o "$dir/to-folder.png"
expect 0 "" render "${size[@]}" -o NUL --format png
tonemix_wine "$exe" render "${size[@]}" -o - --format png >"$dir/piped.png" 2>/dev/null || status=1
cmp -s "$dir/file.png" "$dir/piped.png" || { echo "-o - gave other bytes"; status=1; }
full_status=0
tonemix_wine "$exe" scene builtin >/dev/full 2>"$dir/err" || full_status=$?
line=$(without_wine_lines "$dir/err" | tail -n 1)
if [ "$full_status" -ne 1 ] ||
    [ "$line" != "tonemix-host: cannot write to standard output: No space left on device" ]; then
    echo "scene builtin >/dev/full: exit $full_status, \"$line\""
    status=1
fi
[ "$status" -ne 0 ] || echo "a FIFO, a full device, a folder, NUL, standard output: as on Linux"
exit "$status"
