#!/usr/bin/env bash
# A real host keeps a grainwheel session: Ardour (its Lua session tool, with the dummy
# audio back end) creates a session with grainwheel on a track, sets two parameters and
# saves; the session's stored chunk is given a WAV file for buffer 0, as if the user had
# loaded one; reopening the session must bring back the parameters, reload the WAV file
# (grainwheel then plays it while the transport rolls) and report nothing; with the WAV
# file gone, reopening must name it in grainwheel's recovery message.
# Usage: ardour-session.sh grainwheel.so grainwheel-host WORKDIR
set -u
plugin=$1
hosttool=$2
work=$3
lua=$(command -v ardour7-lua || true)
scanner=/usr/lib/ardour7/ardour-vst-scanner
if [ -z "$lua" ] || [ ! -x "$scanner" ]; then
  echo "Ardour 7 (ardour7-lua, ardour-vst-scanner) is not installed (Debian package ardour)"
  exit 1
fi
rm -rf "$work"; mkdir -p "$work/vst" "$work/home/.config/ardour7"
work=$(cd "$work" && pwd)
cp "$plugin" "$work/vst/grainwheel.so"
# Ardour takes its scan cache only when it is newer than the module, to the second.
touch -d "@$(( $(date +%s) - 60 ))" "$work/vst/grainwheel.so"

# A private Ardour: its own home, plug-in cache and VST folder; nothing asks questions.
export HOME=$work/home XDG_CACHE_HOME=$work/home/.cache XDG_CONFIG_HOME=$work/home/.config
export XDG_DATA_HOME=$work/data LXVST_PATH=$work/vst
unset DISPLAY WAYLAND_DISPLAY
cat > "$HOME/.config/ardour7/config" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<Ardour><Config>
  <Option name="plugin-path-lxvst" value="$work/vst"/>
  <Option name="use-lxvst" value="1"/>
</Config></Ardour>
XML
LD_LIBRARY_PATH=/usr/lib/ardour7 timeout 120 "$scanner" -f "$work/vst/grainwheel.so" >/dev/null 2>&1 ||
  { echo "Ardour's scanner could not load grainwheel"; exit 1; }

fail=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; fail=1; fi
}
has() { grep -qF -- "$2" "$1"; }
run_lua() {  # run_lua SCRIPT LOG
  timeout 300 "$lua" "$1" > "$2" 2>&1
  local rc=$?
  grep -v 'Ignored automation data' "$2" | sed 's/^/    /'
  return $rc
}

# 1. A new session with grainwheel on a stereo track.
cat > "$work/create.lua" <<LUA
AudioEngine:set_backend("None (Dummy)", "", "")
create_session("$work/session", "gw", 44100)
local tracks = Session:new_audio_track(2, 2, nil, 1, "gw", ARDOUR.PresentationInfo.max_order,
                                       ARDOUR.TrackMode.Normal, true)
local p = ARDOUR.LuaAPI.new_plugin(Session, "grainwheel", ARDOUR.PluginType.LXVST, "")
assert(not p:isnil(), "grainwheel not found")
assert(tracks:front():add_processor_by_index(p, 0, nil, true))
ARDOUR.LuaAPI.set_processor_param(p, 1, 0.3)
ARDOUR.LuaAPI.set_processor_param(p, 45, 0.7)
Session:save_state("", false, false, false, false, false)
print("saved")
close_session()
LUA
run_lua "$work/create.lua" "$work/create.log"
check "Ardour saved a session with grainwheel" has "$work/create.log" saved
session=$work/session/gw.ardour
line=$(grep -n '<chunk' "$session" | head -n 1 | cut -d: -f1)
[ -n "$line" ] || { echo "FAILED: no grainwheel chunk in the session"; exit 1; }
sed -n "${line}p" "$session" | sed -e 's/.*<chunk[^>]*>//' -e 's/<\/chunk>.*//' | base64 -d > "$work/chunk.bin"
check "the stored chunk holds the 16 program records" test "$(stat -c %s "$work/chunk.bin")" = 30144

# 2. Buffer 0's record names a WAV file (the path field is the record's first 1024 bytes).
"$hosttool" render "$plugin" --demo --beats 8 --format pcm16 --quiet -o "$work/loop.wav" ||
  { echo "FAILED: grainwheel-host could not make the WAV file"; exit 1; }
printf '%s' "$work/loop.wav" | dd of="$work/chunk.bin" bs=1 seek=0 conv=notrunc status=none
encoded=$(base64 -w0 "$work/chunk.bin")
{
  head -n $((line - 1)) "$session"
  sed -n "${line}p" "$session" | sed -e "s|\(<chunk[^>]*>\).*\(</chunk>\)|\1${encoded}\2|"
  tail -n +$((line + 1)) "$session"
} > "$work/patched.ardour"
mv "$work/patched.ardour" "$session"

# 3. Reopen: parameters back, the WAV file reloaded and played while the transport rolls.
cat > "$work/reopen.lua" <<LUA
AudioEngine:set_backend("None (Dummy)", "", "")
load_session("$work/session", "gw")
local t = Session:route_by_name("gw")
local p = t:nth_plugin(0)
print(string.format("params %.2f %.2f", ARDOUR.LuaAPI.get_processor_param(p, 1, true),
                    ARDOUR.LuaAPI.get_processor_param(p, 45, true)))
Session:request_roll(ARDOUR.TransportRequestSource.TRS_UI)
local peak = -200
for i = 1, 30 do
  os.execute("sleep 0.1")
  local level = t:peak_meter():meter_level(0, ARDOUR.MeterType.MeterPeak)
  if level > peak then peak = level end
end
print(string.format("peak %.1f", peak))
Session:request_stop(false, false, ARDOUR.TransportRequestSource.TRS_UI)
close_session()
LUA
run_lua "$work/reopen.lua" "$work/reopen.log"
check "the parameters came back" has "$work/reopen.log" "params 0.30 0.70"
peak=$(sed -n 's/^peak //p' "$work/reopen.log")
check "grainwheel played the reloaded buffer (peak ${peak:-none} dBFS)" \
  awk -v p="${peak:--200}" 'BEGIN { exit !(p > -40) }'
check "nothing was reported while restoring" bash -c "! grep -q 'Error loading these files' '$work/reopen.log'"

# 4. The WAV file is gone: the restore names it.
rm -f "$work/loop.wav"
run_lua "$work/reopen.lua" "$work/missing.log"
check "the missing WAV file is named in the recovery message" has "$work/missing.log" "$work/loop.wav"
check "the message has its title" has "$work/missing.log" "grainwheel - Error recovering last session"
check "the parameters still came back" has "$work/missing.log" "params 0.30 0.70"
peak=$(sed -n 's/^peak //p' "$work/missing.log")
check "with its buffer empty grainwheel stays silent (peak ${peak:-none} dBFS)" \
  awk -v p="${peak:-0}" 'BEGIN { exit !(p < -100) }'
exit $fail
