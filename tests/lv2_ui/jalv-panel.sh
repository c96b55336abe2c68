#!/usr/bin/env bash
# jalv.gtk3 shows grainwheel's LV2 panel embedded in its window, as the VST 2 editor draws
# it: a JACK server of the test's own (dummy driver), jalv with the bundle, the panel's
# 930 x 414 window found in the window tree and grabbed, then compared with the VST 2
# editor's picture of a fresh session (no input, default parameters).
# Run on a private X server beside a private JACK server:
#   with-xvfb.sh with-jackd.sh jalv-panel.sh LV2_PATH VST2_MODULE HOST_TOOL WORKDIR
# (VST2_MODULE: the VST 2 module built for the suites, which answers the inspection call)
# The bound: the pixels that may differ where the panel shows the running engine. The
# engine in jalv plays on from unit to unit, so the playing unit's handles (red) sit at
# another unit than in the VST 2 picture: 2 handles x 4 fader columns x 98 pixels = 784
# (what a run measures when the units differ, 0 when they agree), plus room for the
# peak meter. The left part (status line, scopes, buttons, buffers: x < 390) shows
# nothing that moves in a fresh session and must match exactly.
set -u
lv2_path=$1
vst2=$2
host_tool=$3
work=$4
bound=1200
rm -rf "$work" && mkdir -p "$work" || exit 1
cd "$work" || exit 1
for tool in jalv.gtk3 xwininfo import compare; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
[ -n "${JACK_DEFAULT_SERVER:-}" ] || { echo "run me through tests/support/with-jackd.sh"; exit 1; }

jalv_pid=
stop() {
  [ -n "$jalv_pid" ] && kill "$jalv_pid" 2>/dev/null && wait "$jalv_pid" 2>/dev/null
}
trap stop EXIT

LV2_PATH="$lv2_path" jalv.gtk3 urn:orbelune:grainwheel >jalv.log 2>&1 &
jalv_pid=$!

# The panel's window: 930 x 414, the innermost such window (jalv's socket holds it).
panel=
for _ in $(seq 1 100); do
  if ! kill -0 "$jalv_pid" 2>/dev/null; then echo "jalv.gtk3 ended:"; cat jalv.log "$JACKD_LOG"; exit 1; fi
  panel=$(xwininfo -root -tree 2>/dev/null | awk '$0 ~ / 930x414\+/ {id=$1} END {print id}')
  [ -n "$panel" ] && break
  sleep 0.1
done
[ -n "$panel" ] || { echo "no 930x414 window appeared"; xwininfo -root -tree; cat jalv.log; exit 1; }
# A few of the host's idles (30 a second) draw it.
sleep 1
import -window "$panel" lv2.png || exit 1

"$host_tool" editor "$vst2" --snapshot vst2.png || exit 1

size=$(identify -format '%wx%h' lv2.png)
[ "$size" = 930x414 ] || { echo "the panel's picture is $size, not 930x414"; exit 1; }
differing=$(compare -metric AE lv2.png vst2.png diff.png 2>&1)
echo "pixels differing from the VST 2 editor's picture: $differing (bound $bound)"
case $differing in
  '' | *[!0-9]*) echo "compare failed: $differing"; exit 1 ;;
esac
[ "$differing" -le "$bound" ] || exit 1
convert lv2.png -crop 390x414+0+0 +repage lv2-left.png && convert vst2.png -crop 390x414+0+0 +repage vst2-left.png || exit 1
left=$(compare -metric AE lv2-left.png vst2-left.png diff-left.png 2>&1)
echo "of them in the left part (x < 390): $left (bound 0)"
[ "$left" = 0 ] || exit 1
