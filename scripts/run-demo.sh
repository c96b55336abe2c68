#!/usr/bin/env bash
# The main job: builds the plug-in and the command-line host, prints what the plug-in
# says about itself, then renders the demo: a built-in two-bar loop recorded into
# buffer 0 with rec sync and played back through the sequencer with varied units; then
# saves that session as a bank and plays it again from the bank.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh base
build=${GW_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja >/dev/null
ninja -C "$build" -j"${GW_JOBS:-2}" grainwheel grainwheel-host
"./$build/tools/grainwheel-host" info "$build/plugin/grainwheel.so" | head -n 14
mkdir -p out
# The session is saved as a bank (audio and programs) and restored into a fresh instance.
# Should the save fail, the plug-in writes a recovery bank on close: keep that in out/ too.
rm -f out/demo.grb
XDG_DATA_HOME="$(pwd)/out/recovery" \
  "./$build/tools/grainwheel-host" render "$build/plugin/grainwheel.so" --demo -o out/demo.wav \
  --save-bank out/demo.grb
"./$build/tools/grainwheel-host" render "$build/plugin/grainwheel.so" --bank out/demo.grb --beats 16 \
  -o out/demo-restored.wav --quiet
if command -v sox >/dev/null; then sox out/demo.wav -n stat 2>&1 | grep -E 'Maximum amplitude|RMS +amplitude'; fi
echo "demo written to $(pwd)/out/demo.wav; its session to out/demo.grb, replayed in out/demo-restored.wav"
