#!/usr/bin/env bash
# Runs a cross-built console test under 32-bit Wine with a private prefix.
# Usage: run-wine.sh PREFIX_DIR PROGRAM.exe [ARGS...]
set -u
prefix=$1; shift
export WINEPREFIX=$prefix
export WINEDEBUG=-all
export WINEARCH=win32
export DISPLAY=
mkdir -p "$WINEPREFIX"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  # First start on this machine: create the prefix (this takes a while).
  timeout 300 wineboot -i >/dev/null 2>&1 || true
  timeout 120 wineserver -w >/dev/null 2>&1 || true
fi
timeout 300 wine "$@"
rc=$?
wineserver -k >/dev/null 2>&1 || true
exit $rc
