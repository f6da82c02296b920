#!/usr/bin/env bash
# render_windows.sh LINUX_BUILD WINDOWS_BUILD: renders a few scenes small with the Linux build (one
# thread) and with the Windows build under wine and compares the float images byte for byte, and a
# contact sheet's PNG. Two of the scenes hold meshes, read from OBJ files beside them by each
# build's own file code, and one model, tests/models/octahedron, is rendered on the host's stage
# from each of its formats (OBJ, PLY in text and both byte orders, STL in text and binary, glTF
# with a .bin, glb). Both builds run the same code with SSE2 IEEE arithmetic, and a render's lanes
# do not depend on the threads that shade them, so every Windows render, whatever its thread
# count, must be the Linux image itself.
#
# One line per render; exit status non-zero when any pair differs or fails to render. Where wine
# cannot run, or the Linux build is missing, the check is skipped with its reason.
set -euo pipefail
source "$(dirname "$0")/common.sh"
wine_or_skip
linux_build=$1 windows_build=$2
build_or_skip "$linux_build" linux-i686
work=$check_work

# under_wine PROGRAM ARGUMENTS...: runs the program in the work folder. A wine client that loses
# its server (one ending just as the next program starts) says "wine client error" and fails: that
# is wine's fault, not the render's, and the render is tried once more.
under_wine() {
    local program=$1 attempt status
    shift
    for attempt in 1 2; do
        status=0
        (cd "$work" && tonemix_wine "$program" "$@" >/dev/null 2>"$work/wine.err") || status=$?
        grep -q '^wine client error' "$work/wine.err" || break
    done
    cat "$work/wine.err" >&2
    return $status
}

failed=0
# name, scene file ("" for the built-in scene), the Windows renders' thread counts
cases=("builtin||1 2 3 8"
       "box_on_plane|$top/scenes/box_on_plane.json|1 2 3 8"
       "light_list_include|$top/scenes/light_list_include.json|1"
       "line_sampling|$top/scenes/line_sampling.json|1"
       "mesh_torus_knot|$top/scenes/mesh_torus_knot.json|1 3"
       "mesh_terrain|$top/scenes/mesh_terrain.json|2")
for model in octahedron.obj octahedron.ply octahedron_le.ply octahedron_be.ply \
    octahedron.stl octahedron_binary.stl octahedron.gltf octahedron.glb; do
    cases+=("${model/./_}|$top/tests/models/$model|2")
done
for entry in "${cases[@]}"; do
    IFS='|' read -r name scene thread_counts <<<"$entry"
    arguments=(render ${scene:+"$scene"} --width 48 --height 32)
    # A model's stage says on stderr what reach it chose: given, it says nothing.
    [[ $scene == *.json || -z $scene ]] ||
        arguments+=(--set distance=1.5 --set offset=0.05 --set samples=4)
    if ! "$linux_build/tonemix-host" "${arguments[@]}" --threads 1 \
        -o "$work/$name-linux.pfm" >/dev/null; then
        echo "$name: the Linux render failed"
        failed=1
        continue
    fi
    for threads in $thread_counts; do
        windows="$name-windows-$threads.pfm"
        if ! under_wine "$windows_build/tonemix-host.exe" \
            "${arguments[@]}" --threads "$threads" -o "$windows"; then
            echo "$name: the Windows render with --threads $threads failed"
            failed=1
        elif cmp -s "$work/$name-linux.pfm" "$work/$windows"; then
            echo "$name: Windows with --threads $threads gives the Linux image"
        else
            echo "$name: Windows with --threads $threads differs from Linux"
            failed=1
        fi
    done
done
# A contact sheet: its tiles and the lettering of its labels and caption, in the PNG itself.
sheet=(sheet --vary samples=1,4 --vary gaussian=false,true --width 48 --height 32)
if ! "$linux_build/tonemix-host" "${sheet[@]}" --threads 1 -o "$work/sheet-linux.png" \
    >/dev/null; then
    echo "sheet: the Linux sheet failed"
    failed=1
elif ! under_wine "$windows_build/tonemix-host.exe" \
    "${sheet[@]}" --threads 3 -o sheet-windows.png; then
    echo "sheet: the Windows sheet failed"
    failed=1
elif cmp -s "$work/sheet-linux.png" "$work/sheet-windows.png"; then
    echo "sheet: Windows gives the Linux PNG, lettering and all"
else
    echo "sheet: the Windows PNG differs from the Linux one"
    failed=1
fi
exit $failed
