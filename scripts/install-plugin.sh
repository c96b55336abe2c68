#!/usr/bin/env bash
# Builds the plug-in and copies it where Linux hosts look for VST 2 plug-ins.
# Usage: scripts/install-plugin.sh [FOLDER] [--link]
#   FOLDER defaults to ~/.vst (use a folder on your LXVST_PATH instead if you prefer);
#   --link makes a symbolic link to the build output instead of a copy.
set -eu
cd "$(dirname "$0")/.."
dest="$HOME/.vst"
link=0
for a in "$@"; do
  case "$a" in
    --link) link=1 ;;
    *) dest=$a ;;
  esac
done
if [ ! -f build/plugin/grainwheel.so ]; then
  ./scripts/install-deps.sh base
  cmake -S . -B build -G Ninja >/dev/null
fi
ninja -C build -j"${GW_JOBS:-2}" grainwheel
mkdir -p "$dest"
if [ $link = 1 ]; then
  ln -sf "$(pwd)/build/plugin/grainwheel.so" "$dest/grainwheel.so"
else
  cp -f build/plugin/grainwheel.so "$dest/grainwheel.so"
fi
echo "installed: $dest/grainwheel.so"
