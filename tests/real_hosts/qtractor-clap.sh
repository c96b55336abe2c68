#!/usr/bin/env bash
# grainwheel.clap in Qtractor, a real CLAP host. Qtractor's own plug-in scanner, run on each
# *.clap file in the folder given as Qtractor's CLAP path, creates and initialises the plug-in
# and must list grainwheel with a stereo in/out pair (2:2), its 107 parameters, an X11 panel
# and a state. Then Qtractor's GUI starts on a private X server with a window manager and a
# private JACK server (dummy driver), with a pre-written configuration in a private home, on a
# session holding grainwheel on a monitored track. A double click opens the panel, which must
# match the editor's own picture (grainwheel-host editor --snapshot); a fader drag and the
# input monitor switch go to Qtractor, a click from JACK's metronome must pass through, and
# the saved session, stripped of its parameter values, must bring the state back.
# Qtractor's engine needs the ALSA sequencer (/dev/snd/seq) beside JACK: where the machine has
# none, an idle stand-in (SEQ_STANDIN, preloaded) takes its place, and the output says so.
# Exits 77 (skipped) when Qtractor, JACK or the X tools are missing, no X server or JACK server
# starts, or the engine does not start without a sequencer; 1 when any check failed.
# Usage: qtractor-clap.sh CLAP_DIR SEQ_STANDIN INSPECTABLE_PLUGIN HOST_TOOL WORKDIR
# SEQ_STANDIN: a preloadable stand-in for the ALSA sequencer, used where /dev/snd/seq is missing.
# GW_PICTURES=DIR also copies the screenshots there.
set -u
clap_dir=$(cd "$1" && pwd) standin=$2 inspectable=$3 host_tool=$4 work=$5
here=$(cd "$(dirname "$0")" && pwd)
skip() { echo "SKIPPED: $*"; exit 77; }
scanner=/usr/lib/x86_64-linux-gnu/qtractor/qtractor_plugin_scan
for tool in qtractor jackd jack_lsp Xvfb openbox xdotool import convert python3; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (Debian: qtractor jackd2 xvfb openbox xdotool imagemagick)"
done
[ -x "$scanner" ] || skip "Qtractor's plug-in scanner ($scanner) is missing"

rm -rf "$work"; mkdir -p "$work/home/.config/rncbc.org" "$work/session"
work=$(cd "$work" && pwd)
export HOME=$work/home XDG_CACHE_HOME=$work/home/.cache XDG_CONFIG_HOME=$work/home/.config
export XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/run
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
unset WAYLAND_DISPLAY CLAP_PATH
pids=()
cleanup() {  # the last started first, each given 5 s to end (JACK's server then leaves its
  local i p n  # registry slot free; a server killed outright keeps it)
  for (( i = ${#pids[@]} - 1; i >= 0; i-- )); do
    p=${pids[i]}
    kill "$p" 2>/dev/null || continue
    for (( n = 0; n < 50; n++ )); do kill -0 "$p" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$p" 2>/dev/null
    wait "$p" 2>/dev/null
  done
}
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM
fail=0 skipped=()
check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; fail=1; fi
}
shot() {  # shot NAME: the whole screen, kept in the work folder (and GW_PICTURES)
  import -window root "$work/$1.png" 2>/dev/null
  [ -n "${GW_PICTURES:-}" ] && mkdir -p "$GW_PICTURES" && cp "$work/$1.png" "$GW_PICTURES/"
  return 0
}
t0=$(date +%s.%N)
elapsed() { awk -v a="$t0" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }'; }

# Qtractor's settings: CLAP plug-ins from the build only, JACK, no auto-connection, the
# messages kept in a log, native dialogs off.
cat > "$work/home/.config/rncbc.org/Qtractor.conf" <<CONF
[Options]
Display\\ConfirmRemove=false
Display\\ConfirmArchive=false
Display\\StdoutCapture=false
Logging\\MessagesLog=true
Logging\\MessagesLogPath=$work/messages.log
Dialogs\\UseNativeDialogs=false
Plugins\\ClapPaths=$clap_dir
Plugins\\LadspaPaths=$work/none
Plugins\\DssiPaths=$work/none
Plugins\\Vst2Paths=$work/none
Plugins\\Vst3Paths=$work/none
Plugins\\Lv2Paths=$work/none
Plugins\\OpenEditor=true
Plugins\\AudioOutputAutoConnect=false
Audio\\MasterAutoConnect=false
Default\\SessionDir=$work/session
CONF

# The listing: Qtractor's scanner, fed each *.clap in the CLAP path as Qtractor does.
# CLAP|name|audio ins:outs|MIDI ins:outs|control ins:outs|flags|file|index|id
found=0
while IFS= read -r -d '' file; do
  line=$(printf 'CLAP:%s\n' "$file" | timeout 30 "$scanner" 2>"$work/scan.err" | grep '^CLAP|grainwheel|')
  [ -n "$line" ] || continue
  found=1
  echo "    Qtractor's scanner: $line"
  IFS='|' read -r _ _ audio midi controls flags _ _ _ <<<"$line"
  check "Qtractor's scanner lists grainwheel with 2 inputs and 2 outputs ($audio)" test "$audio" = 2:2
  check "no MIDI ports, 107 parameters in ($midi, $controls)" test "$midi:${controls%%:*}" = 0:0:107
  check "an X11 panel and a state (flags $flags)" test "$flags" = GUI,EXT,RT
done < <(find "$clap_dir" -name '*.clap' -print0)
[ "$found" = 1 ] || { sed 's/^/    /' "$work/scan.err" 2>/dev/null; echo "FAILED: Qtractor's scanner did not list grainwheel in $clap_dir"; exit 1; }
clap_file=$(find "$clap_dir" -name 'grainwheel.clap' | head -1)

# A private JACK server on the dummy driver.
export JACK_DEFAULT_SERVER=gw-qtractor-$$-$RANDOM JACK_NO_AUDIO_RESERVATION=1
jackd --no-realtime -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 1024 > "$work/jackd.log" 2>&1 &
pids+=($!)
jack_up=0
for _ in $(seq 1 40); do
  timeout 5 jack_lsp >/dev/null 2>&1 && { jack_up=1; break; }
  sleep 0.25
done
[ "$jack_up" = 1 ] || { sed 's/^/    /' "$work/jackd.log"; skip "the private JACK server did not start"; }
echo "ok: JACK's dummy driver runs as $JACK_DEFAULT_SERVER"

# The session: grainwheel on a stereo audio track.
cat > "$work/session/gw.qtr" <<XML
<!DOCTYPE qtractorSession>
<session name="gw" version="0.9.31">
 <properties><directory>$work/session</directory><sample-rate>48000</sample-rate></properties>
 <tracks>
  <track name="gw" type="audio">
   <properties><input-bus>Master</input-bus><output-bus>Master</output-bus></properties>
   <state><monitor>1</monitor></state>
   <plugins>
    <plugin type="CLAP">
     <filename>$clap_file</filename><index>0</index><label>grainwheel</label>
     <activated>1</activated>
    </plugin>
   </plugins>
  </track>
 </tracks>
</session>
XML

# The X server (it picks a free display itself) and the window manager.
mkfifo "$work/displayfd"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/displayfd" >/dev/null 2>&1 &
pids+=($!)
number=
read -r -t 30 number <"$work/displayfd"
case $number in '' | *[!0-9]*) skip "Xvfb did not start" ;; esac
export DISPLAY=":$number"
openbox > "$work/openbox.log" 2>&1 &
pids+=($!)

preload=
if [ ! -e /dev/snd/seq ]; then
  echo "    no ALSA sequencer here (/dev/snd/seq): Qtractor's MIDI engine runs on an idle stand-in"
  preload=$standin
fi
start_qtractor() {
  ${preload:+env LD_PRELOAD=$preload} timeout 90 qtractor "$work/session/gw.qtr" >> "$work/qtractor.log" 2>&1 &
  qtractor_pid=$!
  pids+=("$qtractor_pid")
}
start_qtractor
save_session() {  # save_session WINDOW: Ctrl+S, then waits until the session file is rewritten
  touch -d '5 seconds ago' "$work/session/gw.qtr"
  xdotool windowactivate --sync "$1" key ctrl+s
  for _ in $(seq 1 40); do
    [ "$(stat -c %Y "$work/session/gw.qtr")" -ge "$(( $(date +%s) - 2 ))" ] && sleep 0.2 && return 0
    sleep 0.25
  done
  echo "    the session was not saved"
}
param_value() {  # param_value INDEX: grainwheel's parameter value in the saved session
  sed -n "s/.*<param [^>]*index=\"$1\"[^>]*>\([^<]*\)<.*/\1/p" "$work/session/gw.qtr" | head -1
}
window_named() {  # window_named PATTERN: the first visible Qtractor window whose title matches
  local w
  for w in $(xdotool search --onlyvisible --class qtractor 2>/dev/null); do
    case $(xdotool getwindowname "$w" 2>/dev/null) in $1) echo "$w"; return 0 ;; esac
  done
  return 1
}
main='' error=''
for _ in $(seq 1 80); do
  error=$(window_named 'Error*') && break
  main=$(window_named '*gw.qtr*Qtractor*') && break
  kill -0 "$qtractor_pid" 2>/dev/null || break
  sleep 0.25
done
shot qtractor-start
if [ -n "$error" ] || grep -q 'could not be started' "$work/messages.log" 2>/dev/null; then
  echo "ok: Qtractor's GUI started in $(elapsed) s (screen: qtractor-start.png)"
  grep -iE 'error|could not' "$work/messages.log" 2>/dev/null | head -3 | sed 's/^/    /'
  if [ ! -e /dev/snd/seq ]; then
    grep -m1 'snd_seq' "$work/qtractor.log" | sed 's/^/    /'
    skipped+=("Qtractor's engine did not start, with no ALSA sequencer (/dev/snd/seq) here and the stand-in not taken, so no session opened: grainwheel on a track, its panel, audio through it and the saved state were not checked")
  else
    echo "FAILED: Qtractor's engine did not start, though /dev/snd/seq exists (log: $work/messages.log)"
    fail=1
  fi
elif [ -n "$main" ]; then
  echo "ok: Qtractor opened the session in $(elapsed) s"
  # The plug-in made on the track: Qtractor logs a failure to create or initialise it.
  check "Qtractor instantiated grainwheel on the track" \
    sh -c "! grep -qiE 'Could not (create|initialize) plug-in|plugin file error' '$work/qtractor.log' '$work/messages.log' 2>/dev/null"
  # A double click on grainwheel's entry in the track's plug-in list opens its panel.
  eval "$(xdotool getwindowgeometry --shell "$main")"
  # Qtractor saves only a session with changes: the track's mute button, pressed twice, gives
  # it one that leaves the track as it was.
  xdotool mousemove $((X + 75)) $((Y + 187)) click 1 sleep 0.3 click 1
  panel=''
  for i in $(seq 1 40); do
    case $i in 1 | 16 | 32) xdotool mousemove $((X + 179)) $((Y + 159)) click --repeat 2 --delay 80 1 ;; esac
    panel=$(window_named 'grainwheel - gw*') && break
    sleep 0.25
  done
  check "Qtractor opened grainwheel's panel" test -n "$panel"
  if [ -n "$panel" ]; then
    "$host_tool" editor "$inspectable" --silence --snapshot "$work/reference.png" > /dev/null 2>&1
    convert "$work/reference.png" "$work/reference.ppm"
    match='' panel_xy=''
    for _ in 1 2 3 4 5 6; do
      sleep 1
      shot qtractor-panel
      convert "$work/qtractor-panel.png" "$work/screen.ppm"
      eval "$(xdotool getwindowgeometry --shell "$panel")"
      if match=$(python3 "$here/panel_match.py" "$work/screen.ppm" "$work/reference.ppm" "$X" "$Y"); then
        panel_xy=$match
        break
      fi
    done
    echo "    $match"
    check "the panel is drawn whole in Qtractor's window" test -n "$panel_xy"
  fi
  # A drag down the first time fader (frame x 396..410, y 14..163, parameter 43) and a click on
  # the input monitor switch, saved with the session; Qtractor keeps the plug-in's state and
  # its parameter values.
  if [ -n "$panel_xy" ]; then
    set -- $(echo "$panel_xy" | sed -n 's/^panel at \([0-9]*\),\([0-9]*\),.*/\1 \2/p')
    xdotool mousemove $(( $1 + 403 )) $(( $2 + 40 )) mousedown 1
    for step in 1 2 3 4 5 6 7 8 9 10; do xdotool mousemove $(( $1 + 403 )) $(( $2 + 40 + step * 10 )); sleep 0.03; done
    xdotool mouseup 1
    # the input monitor switch (parameter 8), on for the audio check below
    xdotool mousemove $(( $1 + 25 )) $(( $2 + 185 )) click 1
    sleep 0.5
  fi
  save_session "$main"; v1=$(param_value 43)
  # The same drag in the editor without a window gives the value Qtractor must hold.
  printf 'drag 403 40 403 140\n' > "$work/drag.txt"
  expected=$("$host_tool" editor "$inspectable" --silence --script "$work/drag.txt" 2>/dev/null |
             sed -n 's/^automation 43 //p' | tail -1)
  check "the drag reached Qtractor and was saved (time01 ${v1:-?}, the editor alone: ${expected:-?})" \
    awk -v b="${v1:-x}" -v e="${expected:-y}" 'BEGIN { x = b - e; exit !(b != "x" && x < 1e-4 && x > -1e-4) }'
  check "the saved session holds grainwheel's state (monitor $(param_value 8))" \
    grep -q '<config key="state"' "$work/session/gw.qtr"
  # Audio: a click from JACK's metronome into the Master bus, through the monitored track and
  # grainwheel (its input monitor on, the transport rolling), recorded from the Master bus's
  # outputs beside the click itself.
  jack_metro -n gwclick -b 240 -f 880 -A 0.5 -D 50 > "$work/metro.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 1 20); do jack_lsp 2>/dev/null | grep -q '^gwclick:' && break; sleep 0.25; done
  click=$(jack_lsp 2>/dev/null | grep -m1 '^gwclick:')
  jack_connect "$click" Qtractor:Master/in_1 && jack_connect "$click" Qtractor:Master/in_2
  xdotool windowactivate --sync "$main" key space
  sleep 0.5
  timeout 20 jack_rec -f "$work/out.wav" -d 2 Qtractor:Master/out_1 Qtractor:Master/out_2 "$click" > "$work/rec.log" 2>&1
  shot qtractor-audio
  peaks=$(for c in 1 2 3; do sox "$work/out.wav" -n remix $c stat 2>&1 | sed -n 's/^Maximum amplitude: *//p'; done | xargs)
  check "the click passed through grainwheel in Qtractor (peaks out L R, click: ${peaks:-?})" \
    awk -v p="$peaks" 'BEGIN { n = split(p, a, " "); exit !(n == 3 && a[3] > 0.4 && a[1] > 0.9 * a[3] && a[2] > 0.9 * a[3]) }'
  # Qtractor again on the saved session without its parameter values: only the plug-in's
  # state can bring the fader back.
  kill "$qtractor_pid" 2>/dev/null; wait "$qtractor_pid" 2>/dev/null
  sed -i '/<params>/,/<\/params>/d' "$work/session/gw.qtr"
  start_qtractor
  main=''
  for _ in $(seq 1 80); do main=$(window_named '*gw.qtr*Qtractor*') && break; sleep 0.25; done
  v2=
  if [ -n "$main" ]; then save_session "$main"; v2=$(param_value 43); fi
  check "the session reopened brings grainwheel's state back (time01 ${v2:-?}, monitor $(param_value 8))" \
    test "${v2:-x}" = "$v1" -a "$(param_value 8)" = 1
else
  tail -20 "$work/qtractor.log" | sed 's/^/    /'
  echo "FAILED: Qtractor's main window did not appear (screen: $work/qtractor-start.png)"
  exit 1
fi
echo "the Qtractor part took $(elapsed) s"
[ "$fail" = 0 ] || exit 1
for s in "${skipped[@]}"; do echo "SKIPPED: $s"; done
[ ${#skipped[@]} = 0 ] || exit 77
exit 0
