#!/usr/bin/env bash
# Rebuilds the panel artwork: builds the generator and writes resources/bitmaps/bmp*.png and
# the 2x set resources/bitmaps/2x/bmp*.png.
#   resources/generate.sh [BUILD_DIR] [--preview DIR]
# The preview directory gets the panel with its control rectangles outlined and a mock-up
# of the opened editor. Needs cairo, freetype and the DejaVu fonts (fonts-dejavu-core).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=$root/build-artwork/generator
if [ $# -gt 0 ] && [ "${1#--}" = "$1" ]; then build=$1; shift; fi
# Only the generator is needed: the test suites stay out of this tree.
cmake -S "$root" -B "$build" -G Ninja -DGW_TESTS=OFF >/dev/null
ninja -C "$build" -j2 gw_make_artwork
"$build/resources/generator/gw_make_artwork" "$here/bitmaps" "$@"
# The set for 2x screens: the same artwork drawn at twice the resolution.
mkdir -p "$here/bitmaps/2x"
"$build/resources/generator/gw_make_artwork" "$here/bitmaps/2x" --scale 2
