#!/usr/bin/env bash
# Runs a cross-built console test under Wine with a private prefix.
# Usage: run-wine.sh [--xvfb] [--dpi N] [--gtest|--bench] win32|win64 PREFIX_DIR PROGRAM.exe [ARGS...]
# --xvfb runs it on a private X server (Xvfb) so it can open windows; without it Wine has
# no display. --dpi N sets the prefix's screen DPI (the user's LogPixels) before the run.
# A run passes only with exit code 0 and the program's summary line: "N passed, 0 failed"
# as its last line, or with --gtest a GoogleTest program's "[  PASSED  ] N tests.", so a
# program that stopped early, or never started, does not count as passed.
# Exit 77 (reported as skipped, the reason on the last line) when Wine is not installed,
# and for win32 when 32-bit Wine is not installed or the kernel cannot run 32-bit programs.
set -u
summary='^[0-9]+ passed, 0 failed$'; summary_lines=1
if [ "${1:-}" = --xvfb ]; then
  # Again, on a private X server with a display number of its own (see with-xvfb.sh).
  shift
  exec "$(dirname "$0")/../support/with-xvfb.sh" "$0" --on-display "$@"
fi
on_display=0
if [ "${1:-}" = --on-display ]; then on_display=1; shift; fi
dpi=
if [ "${1:-}" = --dpi ]; then dpi=$2; shift 2; fi
if [ "${1:-}" = --bench ]; then
  # bench/entry_bench.cpp's figure.
  summary='^x_realtime [0-9.]+$'; shift
elif [ "${1:-}" = --gtest ]; then
  # Lists of skipped or disabled tests may follow GoogleTest's summary line.
  summary='^\[  PASSED  \] [0-9]+ tests?\.$'; summary_lines=+1; shift
fi
arch=$1; prefix=$2; shift 2
wine=wine
if [ "$arch" = win64 ]; then
  # The wrapper prefers the 32-bit loader; a 64-bit program needs the 64-bit one.
  for w in /usr/lib/wine/wine64 "$(command -v wine64 || true)"; do
    if [ -n "$w" ] && [ -x "$w" ]; then wine=$w; export WINELOADER=$w; break; fi
  done
fi
if ! command -v "$wine" >/dev/null; then
  echo "wine is not installed (Debian: wine, wine64; wine32:i386 for 32-bit)"; exit 77
fi
if [ "$arch" = win32 ]; then
  if [ ! -x /usr/lib/wine/wine ]; then
    echo "32-bit Wine is not installed (Debian: wine32:i386): 32-bit Wine suite skipped"; exit 77
  fi
  if [ -e /lib/ld-linux.so.2 ] && ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    echo "this kernel cannot run 32-bit programs: 32-bit Wine suite skipped"; exit 77
  fi
fi
export WINEPREFIX=$prefix
export WINEDEBUG=-all
export WINEARCH=$arch
export WINEDLLOVERRIDES="mscoree,mshtml="   # no Mono/Gecko installer dialogs
[ $on_display = 1 ] || unset DISPLAY
mkdir -p "$WINEPREFIX"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  # First start on this machine: create the prefix (this takes a while).
  echo "creating the Wine prefix in $WINEPREFIX"
  timeout 300 "$wine" wineboot -i >/dev/null 2>&1 || true
  timeout 120 wineserver -w >/dev/null 2>&1 || true
fi
if [ -n "$dpi" ]; then
  if [ ! -f "$WINEPREFIX/user.reg" ] ||
     ! timeout 120 "$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f \
       >/dev/null 2>&1; then
    wineserver -k >/dev/null 2>&1 || true
    echo "wine could not make the prefix in $WINEPREFIX or set its DPI to $dpi: skipped"; exit 77
  fi
  timeout 120 wineserver -w >/dev/null 2>&1 || true
fi
timeout 300 "$wine" "$@" 2>&1 | tr -d '\r' | tee "$WINEPREFIX/last-run.log"
rc=${PIPESTATUS[0]}
wineserver -k >/dev/null 2>&1 || true
if [ "$rc" = 0 ] && ! tail -n "$summary_lines" "$WINEPREFIX/last-run.log" | grep -Eq "$summary"; then
  echo "no summary line"; rc=1
fi
exit "$rc"
