#!/usr/bin/env bash
# The main job: builds the plug-in and the command-line host, prints what the plug-in
# says about itself, then renders the demo: a built-in two-bar loop recorded into
# buffer 0 with rec sync and played back through the sequencer with varied units.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh base
build=${GW_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja >/dev/null
ninja -C "$build" -j"${GW_JOBS:-2}" grainwheel grainwheel-host
"./$build/tools/grainwheel-host" info "$build/plugin/grainwheel.so" | head -n 14
mkdir -p out
# The recorded buffer is unsaved when the plug-in closes, so it writes a recovery bank;
# keep that next to the demo rather than in the user's data folder.
XDG_DATA_HOME="$(pwd)/out/recovery" \
  "./$build/tools/grainwheel-host" render "$build/plugin/grainwheel.so" --demo -o out/demo.wav
if command -v sox >/dev/null; then sox out/demo.wav -n stat 2>&1 | grep -E 'Maximum amplitude|RMS +amplitude'; fi
echo "demo written to $(pwd)/out/demo.wav"
