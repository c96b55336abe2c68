#!/usr/bin/env bash
# A real host keeps a session with grainwheel's LV2 plug-in: Ardour (its Lua session tool,
# with the dummy audio back end generating a sine wave on its inputs) puts grainwheel on a
# stereo track, sets two parameters and, while the transport rolls, records the track's
# input into buffer 1 through grainwheel's own free recording, then saves. Reopening the
# session must bring back the parameters and the recorded audio, as a WAV file in the
# session's folder (grainwheel plays it while the transport rolls), and report nothing. A
# second save after a change keeps the audio too. With the WAV file gone, reopening names
# it in grainwheel's recovery message, and the parameters still come back. A command
# (kill buffer), shown by Ardour as a toggle, acts on each click, on and off.
# Usage: ardour-lv2-session.sh BUNDLE_FOLDER WORKDIR
set -u
bundle=$1
work=$2
lua=$(command -v ardour7-lua || true)
if [ -z "$lua" ]; then
  echo "Ardour 7 (ardour7-lua) is not installed (Debian package ardour)"
  exit 1
fi
for tool in sox soxi; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed (Debian package sox)"; exit 1; }
done
rm -rf "$work"; mkdir -p "$work/home/.config/ardour7"
work=$(cd "$work" && pwd)
bundle=$(cd "$bundle" && pwd)

# A private Ardour: its own home and caches; LV2 plug-ins from this build's bundle only.
export HOME=$work/home XDG_CACHE_HOME=$work/home/.cache XDG_CONFIG_HOME=$work/home/.config
export XDG_DATA_HOME=$work/data LV2_PATH=$(dirname "$bundle")
unset DISPLAY WAYLAND_DISPLAY

fail=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; fail=1; fi
}
has() { grep -qF -- "$2" "$1"; }
above() { awk -v p="${1:--200}" -v l="$2" 'BEGIN { exit !(p > l) }'; }
run_lua() {  # run_lua SCRIPT LOG
  timeout 120 "$lua" "$1" > "$2" 2>&1
  local rc=$?
  grep -v 'Ignored automation data' "$2" | sed 's/^/    /'
  return $rc
}
# Measures the track's peak level while the transport rolls for SECONDS (printed as "peak").
peak_lua() {
  cat <<LUA
Session:request_roll(ARDOUR.TransportRequestSource.TRS_UI)
local peak = -200
for i = 1, $(( $1 * 10 )) do
  os.execute("sleep 0.1")
  local level = t:peak_meter():meter_level(0, ARDOUR.MeterType.MeterPeak)
  if level > peak then peak = level end
end
print(string.format("peak %.1f", peak))
print(string.format("rolled %s", tostring(Session:transport_rolling())))
Session:request_stop(false, false, ARDOUR.TransportRequestSource.TRS_UI)
os.execute("sleep 0.3")
LUA
}

# 1. A new session, grainwheel on a stereo track that monitors its input (a sine wave from
# the dummy back end); rec free (port 9) on for a second while the transport rolls.
cat > "$work/create.lua" <<LUA
local backend = AudioEngine:set_backend("None (Dummy)", "", "")
assert(backend:set_device_name("Sine Wave") == 0, "the dummy back end has no sine wave input")
create_session("$work/session", "gw", 44100)
local tracks = Session:new_audio_track(2, 2, nil, 1, "gw", ARDOUR.PresentationInfo.max_order,
                                       ARDOUR.TrackMode.Normal, true)
local t = tracks:front()
local p = ARDOUR.LuaAPI.new_plugin(Session, "urn:orbelune:grainwheel", ARDOUR.PluginType.LV2, "")
assert(not p:isnil(), "grainwheel (LV2) not found")
assert(t:add_processor_by_index(p, 0, nil, true))
t:monitoring_control():set_value(ARDOUR.MonitorChoice.MonitorInput, PBD.GroupControlDisposition.NoGroup)
ARDOUR.LuaAPI.set_processor_param(p, 1, 0.3)
ARDOUR.LuaAPI.set_processor_param(p, 45, 0.7)
Session:request_roll(ARDOUR.TransportRequestSource.TRS_UI)
os.execute("sleep 0.5")
print(string.format("rolling %s", tostring(Session:transport_rolling())))
ARDOUR.LuaAPI.set_processor_param(p, 9, 1)
os.execute("sleep 1")
ARDOUR.LuaAPI.set_processor_param(p, 9, 0)
os.execute("sleep 0.3")
Session:request_stop(false, false, ARDOUR.TransportRequestSource.TRS_UI)
os.execute("sleep 0.3")
Session:save_state("", false, false, false, false, false)
print("saved")
close_session()
LUA
start=$(date +%s)
run_lua "$work/create.lua" "$work/create.log"
check "Ardour rolled and saved a session with grainwheel (LV2)" \
  bash -c "grep -qx 'rolling true' '$work/create.log' && grep -qx saved '$work/create.log'"
wav=$(find "$work/session" -name 'buffer01.wav' | head -n 1)
check "buffer 1's recording is a WAV file in the session folder (${wav#"$work/session/"})" test -n "$wav"
[ -n "$wav" ] || exit 1
length=$(soxi -D "$wav" 2>/dev/null)
level=$(sox "$wav" -n stat 2>&1 | awk '/^Maximum amplitude/ { print $3 }')
check "the WAV file holds the recorded sine wave (${length:-?} s, peak ${level:-?})" \
  awk -v l="${length:-0}" -v p="${level:-0}" 'BEGIN { exit !(l > 0.5 && p > 0.01) }'
check "no other buffer was saved" test "$(find "$work/session" -name 'buffer*.wav' | wc -l)" = 1

# 2. Reopen (the inputs silent now): parameters back, the recording played while rolling;
# then a change and a second save.
reopen_lua() {  # reopen_lua [SAVE]
  cat <<LUA
AudioEngine:set_backend("None (Dummy)", "", "")
load_session("$work/session", "gw")
t = Session:route_by_name("gw")
local p = t:nth_plugin(0)
assert(not p:isnil(), "no plug-in on the track")
print(string.format("params %.2f %.2f %.2f", ARDOUR.LuaAPI.get_processor_param(p, 1, true),
                    ARDOUR.LuaAPI.get_processor_param(p, 45, true),
                    ARDOUR.LuaAPI.get_processor_param(p, 9, true)))
$(peak_lua 2)
LUA
  if [ "${1:-}" = save ]; then
    cat <<LUA
ARDOUR.LuaAPI.set_processor_param(p, 45, 0.6)
os.execute("sleep 0.2")
Session:save_state("", false, false, false, false, false)
print("saved")
LUA
  fi
  echo "close_session()"
}
reopen_lua save > "$work/reopen.lua"
run_lua "$work/reopen.lua" "$work/reopen.log"
check "the parameters came back (mainLevl 0.3, param 45 0.7, rec free off)" has "$work/reopen.log" "params 0.30 0.70 0.00"
peak=$(sed -n 's/^peak //p' "$work/reopen.log")
check "grainwheel played the restored recording (peak ${peak:-none} dBFS)" above "${peak:--200}" -60
check "nothing was reported while restoring" \
  bash -c "! grep -qiE 'error|grainwheel:' '$work/reopen.log'"
check "the session was saved again" has "$work/reopen.log" saved

# 3. After the second save: the changed parameter, the audio still there.
reopen_lua > "$work/again.lua"
run_lua "$work/again.lua" "$work/again.log"
check "after the second save the changed parameter came back" has "$work/again.log" "params 0.30 0.60 0.00"
peak=$(sed -n 's/^peak //p' "$work/again.log")
check "after the second save the recording still plays (peak ${peak:-none} dBFS)" above "${peak:--200}" -60
check "nothing was reported after the second save" bash -c "! grep -qiE 'error|grainwheel:' '$work/again.log'"

echo "    the session's WAV files: $(find "$work/session" -name 'buffer*.wav' -printf '%P ' )"

# 4. The WAV files gone: the restore names the file, the parameters still come back.
find "$work/session" -name 'buffer*.wav' > "$work/wavs.txt"
xargs -d '\n' rm -f < "$work/wavs.txt"
run_lua "$work/again.lua" "$work/missing.log"
check "the missing WAV file is named in the recovery message" grep -qFf "$work/wavs.txt" "$work/missing.log"
check "the message has its title" has "$work/missing.log" "grainwheel - Error recovering last session"
check "the parameters still came back" has "$work/missing.log" "params 0.30 0.60 0.00"
peak=$(sed -n 's/^peak //p' "$work/missing.log")
check "with its buffer empty grainwheel stays silent (peak ${peak:-none} dBFS)" \
  awk -v p="${peak:-0}" 'BEGIN { exit !(p < -100) }'
# 5. Ardour 7 shows a command as a toggle that stays where it was clicked and never
# resets it: every click must act. Kill buffer clicked on (0 -> 1) empties the recorded
# buffer; recorded again, kill buffer clicked off (1 -> 0) empties it again. A save after
# each step tells: the plug-in's state names buffer 1's file only while it holds audio.
cat > "$work/commands.lua" <<LUA
local backend = AudioEngine:set_backend("None (Dummy)", "", "")
assert(backend:set_device_name("Sine Wave") == 0, "the dummy back end has no sine wave input")
create_session("$work/commands", "cmd", 44100)
local t = Session:new_audio_track(2, 2, nil, 1, "cmd", ARDOUR.PresentationInfo.max_order,
                                  ARDOUR.TrackMode.Normal, true):front()
local p = ARDOUR.LuaAPI.new_plugin(Session, "urn:orbelune:grainwheel", ARDOUR.PluginType.LV2, "")
assert(t:add_processor_by_index(p, 0, nil, true))
t:monitoring_control():set_value(ARDOUR.MonitorChoice.MonitorInput, PBD.GroupControlDisposition.NoGroup)
Session:request_roll(ARDOUR.TransportRequestSource.TRS_UI)
os.execute("sleep 0.5")
local function step(param, value, wait)
  ARDOUR.LuaAPI.set_processor_param(p, param, value)
  os.execute("sleep " .. wait)
end
local saves = 0
local function save()  -- prints the save's number and the plug-in's state folder
  Session:save_state("", false, false, false, false, false)
  saves = saves + 1
  local f = io.open("$work/commands/cmd.ardour")
  local xml = f:read("a")
  f:close()
  print(string.format("save %d %s", saves, xml:match('state%-dir="(state%d+)"') or "none"))
end
step(9, 1, 1) step(9, 0, 0.5) save()   -- recorded
step(11, 1, 0.5) save()                -- kill buffer clicked on
step(9, 1, 1) step(9, 0, 0.5) save()   -- recorded again
step(11, 0, 0.5) save()                -- kill buffer clicked off
Session:request_stop(false, false, ARDOUR.TransportRequestSource.TRS_UI)
close_session()
LUA
run_lua "$work/commands.lua" "$work/commands.log"
holds() {  # holds SAVE: yes when the plug-in's state of that save names buffer 1's file
  local dir state
  dir=$(sed -n "s/^save $1 //p" "$work/commands.log")
  state=$(find "$work/commands/plugins" -path "*/$dir/state.ttl" | head -n 1)
  if [ -z "$dir" ] || [ -z "$state" ]; then echo "no state"
  elif grep -q 'buffer01' "$state"; then echo yes
  else echo no; fi
}
check "a recording is saved with the session" test "$(holds 1)" = yes
check "kill buffer clicked on emptied the buffer" test "$(holds 2)" = no
check "recorded again, it is saved" test "$(holds 3)" = yes
check "kill buffer clicked off emptied it again" test "$(holds 4)" = no
echo "Ardour runs took $(( $(date +%s) - start )) s"
exit $fail
