#!/usr/bin/env bash
# grainwheel's panel (VST 3 or LV2) in Ardour's own window: Ardour's Lua session tool puts
# grainwheel on a track (the dummy audio back end), then the real Ardour GUI opens that
# session on a private X server with a window manager, starting its engine without any
# dialog (a pre-written configuration in a private home). A double click on the plug-in in
# the mixer strip opens the panel; the screenshot must show the panel whole, pixel for pixel
# as the editor draws itself without a window (grainwheel-host editor --snapshot). A mouse
# drag on the first time fader must reach Ardour: the session saved afterwards holds the
# value the same drag gives in the editor without a window.
# Exits 77 (skipped) when Ardour's GUI or the X tools are missing or no X server starts.
# Usage: ardour-gui-panel.sh vst3|lv2 BUNDLE INSPECTABLE_PLUGIN HOST_TOOL WORKDIR
# GW_PICTURES=DIR also copies the screenshots there; GW_ARDOUR_UI_SCALE=PERCENT sets Ardour's
# GUI scale (its font scale, 100 by default; 200 or 300 for a panel drawn at that scale,
# compared with the editor's picture at the same scale, on a larger screen).
set -u
format=$1 bundle=$(cd "$2" && pwd) inspectable=$3 host_tool=$4 work=$5
skip() { echo "SKIPPED: $*"; exit 77; }
for tool in ardour ardour7-lua Xvfb openbox xdotool import convert python3; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (Debian: ardour xvfb openbox xdotool imagemagick)"
done
scanner=/usr/lib/ardour7/ardour-vst3-scanner
[ -x "$scanner" ] || skip "Ardour 7's VST 3 scanner is missing"
here=$(cd "$(dirname "$0")" && pwd)

rm -rf "$work"; mkdir -p "$work/home/.config/ardour7" "$work/home/.vst3"
work=$(cd "$work" && pwd)
export HOME=$work/home XDG_CACHE_HOME=$work/home/.cache XDG_CONFIG_HOME=$work/home/.config
export XDG_DATA_HOME=$work/data
unset WAYLAND_DISPLAY
pids=()
cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  sleep 0.5
  for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null; wait "$p" 2>/dev/null; done
}
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

fail=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; fail=1; fi
}
shot() {  # shot NAME: the whole screen, kept in the work folder (and GW_PICTURES)
  import -window root "$work/$1.png" 2>/dev/null
  [ -n "${GW_PICTURES:-}" ] && mkdir -p "$GW_PICTURES" && cp "$work/$1.png" "$GW_PICTURES/"
  return 0
}
port_value() {  # port_value KEY: a parameter of grainwheel in the saved session (id="43")
  sed -n "/type=\"$format\"/,/<\/Processor>/s/.*<Port $1 value=\"\([^\"]*\)\".*/\1/p" \
      "$work/session/gw.ardour" | head -1
}

# The session, made without a display. Ardour finds the VST 3 bundle in the private home
# (indexed by its scanner first) and names it by its class identifier; the LV2 bundle on
# LV2_PATH. The first time fader is parameter 43 in both, named time01 in LV2.
case $format in
  vst3)
    cp -R "$bundle" "$work/home/.vst3/"
    find "$work/home/.vst3" -exec touch -d '1 minute ago' {} +
    (unset DISPLAY
     LD_LIBRARY_PATH=/usr/lib/ardour7 timeout 120 "$scanner" -f "$work/home/.vst3/grainwheel.vst3" >/dev/null 2>&1)
    id=$(python3 -c "import json,sys; print(json.load(open(sys.argv[1]))['Classes'][0]['CID'])" \
         "$bundle/Contents/Resources/moduleinfo.json")
    type=VST3 fader='id="43"' ;;
  lv2)
    export LV2_PATH=$(dirname "$bundle")
    id=urn:orbelune:grainwheel type=LV2 fader='symbol="time01"' ;;
  *) echo "unknown format $format"; exit 2 ;;
esac
cat > "$work/create.lua" <<LUA
AudioEngine:set_backend("None (Dummy)", "", "")
create_session("$work/session", "gw", 48000)
ARDOUR.LuaAPI.list_plugins()
local t = Session:new_audio_track(2, 2, nil, 1, "gw", ARDOUR.PresentationInfo.max_order,
                                  ARDOUR.TrackMode.Normal, true):front()
local p = ARDOUR.LuaAPI.new_plugin(Session, "$id", ARDOUR.PluginType.$type, "")
assert(not p:isnil(), "grainwheel ($type) not found")
assert(t:add_processor_by_index(p, 0, nil, true))
Session:save_state("", false, false, false, false, false)
close_session()
LUA
(unset DISPLAY; timeout 120 ardour7-lua "$work/create.lua" > "$work/create.log" 2>&1)
[ -f "$work/session/gw.ardour" ] || { sed 's/^/    /' "$work/create.log"; echo "FAILED: no session"; exit 1; }
before=$(port_value "$fader")

# Ardour's settings: been here before (no first-run wizard), the dummy back end shown and
# started at once, nothing fetched from the network, no plug-in scan at start.
touch "$work/home/.config/ardour7/.a7"
cat > "$work/home/.config/ardour7/config" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<Ardour>
  <Config>
    <Option name="try-autostart-engine" value="1"/>
    <Option name="hide-dummy-backend" value="0"/>
    <Option name="discover-plugins-on-start" value="0"/>
    <Option name="check-announcements" value="0"/>
  </Config>
  <Extra>
    <AudioMIDISetup>
      <EngineStates>
        <State backend="None (Dummy)" driver="Normal Speed" device="Silence" input-device="" output-device=""
               sample-rate="48000" buffer-size="1024" n-periods="0" input-latency="0" output-latency="0"
               input-channels="0" output-channels="0" active="1" use-buffered-io="0"
               midi-option="No MIDI I/O" lm-input="" lm-output="" lru="1765000000">
          <MIDIDevices/>
        </State>
      </EngineStates>
    </AudioMIDISetup>
  </Extra>
</Ardour>
XML

scale=$(( ${GW_ARDOUR_UI_SCALE:-100} / 100 ))
screen=1280x1024
[ "$scale" -gt 1 ] && screen=$(( 1280 * scale ))x$(( 1024 * scale ))
if [ -n "${GW_ARDOUR_UI_SCALE:-}" ]; then
  cat > "$work/home/.config/ardour7/ui_config" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<Ardour>
  <UI>
    <Option name="font-scale" value="$(( GW_ARDOUR_UI_SCALE * 1024 ))"/>
  </UI>
</Ardour>
XML
fi

# The X server (it picks a free display itself) and the window manager.
mkfifo "$work/displayfd"
Xvfb -displayfd 3 -screen 0 ${screen}x24 -nolisten tcp -noreset 3>"$work/displayfd" >/dev/null 2>&1 &
pids+=($!)
number=
read -r -t 30 number <"$work/displayfd"
case $number in '' | *[!0-9]*) skip "Xvfb did not start" ;; esac
export DISPLAY=":$number"
openbox > "$work/openbox.log" 2>&1 &
pids+=($!)

t0=$(date +%s.%N)
ARDOUR_TRY_AUTOSTART_ENGINE=1 timeout 120 ardour --no-splash --no-announcements \
  "$work/session/gw.ardour" > "$work/ardour.log" 2>&1 &
ardour_pid=$!
pids+=($ardour_pid)
window_named() {  # window_named PATTERN: the first visible Ardour window whose title matches
  local w
  for w in $(xdotool search --onlyvisible --class ardour 2>/dev/null); do
    case $(xdotool getwindowname "$w" 2>/dev/null) in $1) echo "$w"; return 0 ;; esac
  done
  return 1
}
main=
for _ in $(seq 1 80); do
  main=$(window_named 'gw - Ardour') && break
  # A message box (no title) would wait for its OK: answer it, and say so.
  if box=$(window_named ''); then
    echo "    Ardour asked something at start; answered OK"
    shot ardour-message
    xdotool windowactivate --sync "$box" key Return
  fi
  kill -0 "$ardour_pid" 2>/dev/null || break
  sleep 0.5
done
if [ -z "$main" ]; then
  shot ardour-gui-start
  grep -v '^Ardour: \[INFO\]' "$work/ardour.log" | tail -20 | sed 's/^/    /'
  if grep -qiE 'cannot open display|Gtk-WARNING.*display' "$work/ardour.log"; then
    skip "Ardour's GUI cannot open the X display"
  fi
  echo "FAILED: Ardour's main window did not appear (screen: $work/ardour-gui-start.png)"
  exit 1
fi
elapsed() { awk -v a="$t0" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }'; }
echo "ok: Ardour showed the session in $(elapsed) s"

# The mixer (Alt+M), then a double click on the plug-in's entry in the strip: the entry is
# the only box in the strip's processor list drawn in the pre-fader colour.
cat > "$work/find_entry.py" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
head = data.split(b"\n", 3)
w, h = map(int, head[1].split())
px = head[3]
# the first run of 40 pixels of the pre-fader processor colour (a dark red) from the top left
for y in range(60, h // 2):
    run = 0
    for x in range(0, w // 2):
        i = (y * w + x) * 3
        r, g, b = px[i], px[i + 1], px[i + 2]
        run = run + 1 if 85 <= r <= 130 and 38 <= g <= 64 and abs(g - b) < 8 else 0
        if run == 40:
            print(x, y + 5)
            sys.exit(0)
sys.exit(1)
PY
# A window that has only just appeared may lose the key: it is pressed again while the strip
# does not show (each press switches between the editor and the mixer).
entry=
for _ in 1 2 3 4 5 6; do
  xdotool windowactivate --sync "$main" key alt+m
  sleep 1.5
  shot ardour-mixer
  convert "$work/ardour-mixer.png" "$work/mixer.ppm"
  entry=$(python3 "$work/find_entry.py" "$work/mixer.ppm") && break
done
[ -n "$entry" ] || { echo "FAILED: the plug-in's entry was not found in the mixer strip ($work/ardour-mixer.png)"; exit 1; }
# shellcheck disable=SC2086
xdotool mousemove $entry click --repeat 2 --delay 80 1
panel=
for i in $(seq 1 80); do
  panel=$(window_named 'gw: grainwheel*') && break
  # a double click lost while the mixer was still settling is given again
  # shellcheck disable=SC2086
  case $i in 24 | 48) xdotool mousemove $entry click --repeat 2 --delay 80 1 ;; esac
  sleep 0.25
done
check "Ardour opened grainwheel's $type panel" test -n "$panel"
[ -n "$panel" ] || { shot ardour-no-panel; exit 1; }
# The panel against the editor's own picture, found near the window's bottom left; a busy
# machine may take a moment to draw it, so the screen is taken again a few times.
"$host_tool" editor "$inspectable" --silence --scale "$scale" --snapshot "$work/reference.png" > /dev/null 2>&1
convert "$work/reference.png" "$work/reference.ppm"
ref_h=$(identify -format %h "$work/reference.png")
panel_xy=
for _ in 1 2 3 4 5 6; do
  sleep 1
  shot ardour-$format-panel
  convert "$work/ardour-$format-panel.png" "$work/screen.ppm"
  eval "$(xdotool getwindowgeometry --shell "$panel")"
  if match=$(python3 "$here/panel_match.py" "$work/screen.ppm" "$work/reference.ppm" "$X" "$((Y + HEIGHT - ref_h))"); then
    panel_xy=$(echo "$match" | sed -n 's/^panel at \([0-9]*\),\([0-9]*\),.*/\1 \2/p')
    break
  fi
done
echo "    $match"
check "the panel is drawn whole in Ardour's window" test -n "$panel_xy"

# A drag down the first time fader (frame x 396..410, y 14..163): grainwheel tells Ardour,
# Ardour keeps the value and saves it.
if [ -n "$panel_xy" ]; then
  set -- $panel_xy
  fx=$(( $1 + 403 * scale )) fy=$(( $2 + 40 * scale ))
  xdotool mousemove "$fx" "$fy" mousedown 1
  for step in 1 2 3 4 5 6 7 8 9 10; do
    xdotool mousemove "$fx" $(( fy + step * 10 * scale )); sleep 0.03
  done
  xdotool mouseup 1
  sleep 0.5
  shot ardour-$format-drag
  xdotool windowactivate --sync "$main" key ctrl+s
  for _ in $(seq 1 20); do
    [ "$work/session/gw.ardour" -nt "$work/create.log" ] && [ "$(port_value "$fader")" != "$before" ] && break
    sleep 0.25
  done
  after=$(port_value "$fader")
  # The same drag in the editor without a window gives the value Ardour must hold.
  printf 'drag 403 40 403 140\n' > "$work/drag.txt"
  expected=$("$host_tool" editor "$inspectable" --silence --script "$work/drag.txt" 2>/dev/null |
             sed -n 's/^automation 43 //p' | tail -1)
  check "the drag reached Ardour (time01 ${before:-?} -> ${after:-?}, the editor alone: ${expected:-?})" \
    awk -v a="${before:-0}" -v b="${after:-0}" -v e="${expected:-0}" \
      'BEGIN { d = a - b; x = b - e; exit !((d > 0.05 || d < -0.05) && x < 1e-4 && x > -1e-4) }'
fi
echo "the Ardour GUI part took $(elapsed) s"
exit $fail
