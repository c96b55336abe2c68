#!/usr/bin/env bash
# The main job: builds the plug-in and the command-line host, then loads the plug-in
# and prints what it says about itself (name, IDs, all parameters, programs, canDo).
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh base
cmake -S . -B build -G Ninja >/dev/null
ninja -C build -j"${GW_JOBS:-2}" grainwheel grainwheel-host
./build/tools/grainwheel-host info build/plugin/grainwheel.so
