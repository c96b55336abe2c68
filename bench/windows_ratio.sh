#!/usr/bin/env bash
# The Windows DLL's speed against the Linux plug-in of the same commit, both measured
# through their entry points by bench/entry_bench.cpp in one run on this machine.
# Usage: bench/windows_ratio.sh LINUX_BUILD WIN32_BUILD [WIN64_BUILD] [SECONDS]
# Where 32-bit Wine cannot run (not installed, or a kernel without 32-bit support), the
# 32-bit run is reported as skipped with its reason and the 64-bit DLL is measured in its
# place.
set -u
here=$(cd "$(dirname "$0")" && pwd)
abs() { [ -n "$1" ] && (cd "$1" && pwd); }
linux=$(abs "$1"); win32=$(abs "$2"); win64=$(abs "${3:-}"); seconds=${4:-10}
wine_run=$here/../tests/win32/run-wine.sh
# The effect keeps unsaved audio when it closes: keep those files out of the user's folders.
scratch=$(mktemp -d)
export XDG_DATA_HOME=$scratch/data HOME=$scratch
trap 'rm -rf "$scratch"' EXIT

figure() { awk '/^x_realtime /{print $2}' | tail -n 1; }

lx=$("$linux/bench/gw_entry_bench" "$linux/plugin/grainwheel.so" "$seconds" 3 | figure)
echo "Linux .so:          ${lx:-?} x real time"
report() {  # report LABEL FIGURE
  if [ -n "$2" ] && [ -n "$lx" ]; then
    echo "$1 ${2} x real time, Windows/Linux ratio $(awk -v w="$2" -v l="$lx" 'BEGIN{printf "%.2f", w / l}')"
  else
    echo "$1 no figure"
  fi
}
w32=$("$wine_run" --bench win32 "$win32/wineprefix" "$win32/tests/win32/win32_entry_bench.exe" \
      "$win32/plugin/grainwheel.dll" "$seconds" 3 2>&1)
rc=$?
if [ $rc = 77 ]; then
  echo "32-bit DLL:         skipped ($(echo "$w32" | tail -n 1))"
else
  report "32-bit DLL (Wine): " "$(echo "$w32" | figure)"
  [ $rc = 0 ] || { echo "$w32"; exit 1; }
fi
if [ -n "$win64" ]; then
  w64=$("$wine_run" --bench win64 "$win64/wineprefix" "$win64/tests/win32/win32_entry_bench.exe" \
        "$win64/plugin/grainwheel.dll" "$seconds" 3 2>&1) || { echo "$w64"; exit 1; }
  report "64-bit DLL (Wine): " "$(echo "$w64" | figure)"
fi
