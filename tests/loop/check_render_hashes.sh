#!/bin/sh
# Usage: check_render_hashes.sh BUILD_DIR [SAVED_LISTING]
# Without a saved listing, prints the listing of BUILD_DIR (save it before a change).
# With one, renders again and fails unless every scenario's hash is identical.
# tests/loop/render_hashes.txt is the listing of the current code.
set -eu
build=$1
bin="$build/tests/loop/loop_render_hashes"
cmake --build "$build" --target loop_render_hashes >/dev/null
if [ $# -lt 2 ]; then
    "$bin"
    exit 0
fi
now=$(mktemp)
trap 'rm -f "$now"' EXIT
"$bin" >"$now"
if diff -u "$2" "$now"; then
    echo "render hashes identical ($(wc -l <"$now") scenarios)"
else
    echo "render hashes DIFFER" >&2
    exit 1
fi
