#!/usr/bin/env bash
# Rebuilds the panel artwork: builds the generator and writes resources/bitmaps/bmp*.png.
#   resources/generate.sh [BUILD_DIR] [--preview DIR]
# The preview directory gets the panel with its control rectangles outlined and a mock-up
# of the opened editor. Needs cairo, freetype and the DejaVu fonts (fonts-dejavu-core).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${1:-$root/build-artwork}
shift || true
cmake -S "$root" -B "$build" -G Ninja >/dev/null
ninja -C "$build" -j2 gw_make_artwork
"$build/resources/generator/gw_make_artwork" "$here/bitmaps" "$@"
