#!/usr/bin/env bash
# The Windows DLL's speed against the Linux plug-in of the same commit, in one run on this
# machine, in three settings:
#   dense    through the entry points (bench/entry_bench.cpp), the default program's dense
#            grains at pitch 0.7 with resonance;
#   pitched  through the entry points, pitch 0.3 with resonance, as many grains as the
#            sequencer overlaps;
#   6 voices the six-voice scene (bench/voices_bench.cpp, the engine linked in), pitch 0.3
#            with resonance, long grains on every voice.
# Usage: bench/windows_ratio.sh LINUX_BUILD WIN32_BUILD [WIN64_BUILD] [SECONDS]
# The 64-bit DLL is measured whenever its tree is given and wine64 is there. Where 32-bit
# Wine cannot run (not installed, or a kernel without 32-bit support), the 32-bit run is
# reported as skipped with its reason.
set -u
here=$(cd "$(dirname "$0")" && pwd)
abs() { [ -n "$1" ] && [ -d "$1" ] && (cd "$1" && pwd); }
linux=$(abs "$1"); win32=$(abs "$2"); win64=$(abs "${3:-}"); seconds=${4:-30}   # of audio per run; each program takes the best of 5 runs
wine_run=$here/../tests/win32/run-wine.sh
# The effect keeps unsaved audio when it closes: keep those files out of the user's folders.
scratch=$(mktemp -d)
export XDG_DATA_HOME=$scratch/data HOME=$scratch
trap 'rm -rf "$scratch"' EXIT

figure() { awk '/^x_realtime /{print $2}' | tail -n 1; }
ratio() { awk -v w="$1" -v l="$2" 'BEGIN{printf "%.2f", w / l}'; }

# linux_figure SETTING: the Linux build's figure.
linux_figure() {
  case $1 in
    dense|pitched) "$linux/bench/gw_entry_bench" "$linux/plugin/grainwheel.so" "$seconds" 5 "$1" | figure ;;
    voices) "$linux/bench/gw_voices_bench" "$seconds" 5 | figure ;;
  esac
}
# windows_run ARCH TREE SETTING: the Windows build's output (run-wine.sh's exit code).
windows_run() {
  local arch=$1 tree=$2
  case $3 in
    dense|pitched) "$wine_run" --bench "$arch" "$tree/wineprefix" "$tree/tests/win32/win32_entry_bench.exe" \
                     "$tree/plugin/grainwheel.dll" "$seconds" 5 "$3" 2>&1 ;;
    voices) "$wine_run" --bench "$arch" "$tree/wineprefix" "$tree/tests/win32/win32_voices_bench.exe" \
              "$seconds" 5 2>&1 ;;
  esac
}

best() { awk 'BEGIN{b=""} $1!=""{if(b==""||$1+0>b+0)b=$1} END{print b}'; }

failed=0
for setting in dense pitched voices; do
  case $setting in
    dense) label="dense grains, pitch 0.7, entry points" ;;
    pitched) label="pitch 0.3, entry points" ;;
    voices) label="pitch 0.3, six voices, engine" ;;
  esac
  echo "== $label"
  # Linux and Windows in turn, twice: the better of each pair, so that a moment of other
  # work on the machine does not decide the ratio.
  lx=$(linux_figure "$setting")
  declare -A wx=() out=() rc=()
  for arch in win32 win64; do
    if [ "$arch" = win32 ]; then tree=$win32; else tree=$win64; fi
    [ -n "$tree" ] || continue
    out[$arch]=$(windows_run "$arch" "$tree" "$setting")
    rc[$arch]=$?
    wx[$arch]=$(echo "${out[$arch]}" | figure)
  done
  lx=$(printf '%s\n%s\n' "$lx" "$(linux_figure "$setting")" | best)
  for arch in "${!rc[@]}"; do
    [ "${rc[$arch]}" = 0 ] || continue
    [ "$arch" = win32 ] && tree=$win32 || tree=$win64
    again=$(windows_run "$arch" "$tree" "$setting" | figure)
    wx[$arch]=$(printf '%s\n%s\n' "${wx[$arch]}" "$again" | best)
  done
  echo "   Linux .so:          ${lx:-?} x real time"
  for arch in win32 win64; do
    if [ "$arch" = win32 ]; then name="32-bit DLL (Wine): "; else name="64-bit DLL (Wine): "; fi
    [ -n "${rc[$arch]:-}" ] || continue
    if [ "${rc[$arch]}" = 77 ]; then
      echo "   ${name%: *}:  skipped ($(echo "${out[$arch]}" | tail -n 1))"
      continue
    fi
    w=${wx[$arch]}
    if [ -n "$w" ] && [ -n "$lx" ]; then
      echo "   $name ${w} x real time, Windows/Linux ratio $(ratio "$w" "$lx")"
    else
      echo "   $name no figure"
    fi
    [ "${rc[$arch]}" = 0 ] || { echo "${out[$arch]}"; failed=1; }
  done
done
exit $failed
