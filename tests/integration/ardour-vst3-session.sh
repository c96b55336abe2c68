#!/usr/bin/env bash
# Ardour keeps a session with grainwheel's VST 3 plug-in: its Lua session tool (the dummy
# audio back end generating a sine wave on its inputs) puts grainwheel on a stereo track,
# sets two parameters and, while the transport rolls, records the track's input into
# buffer 1 through grainwheel's own free recording, then saves. A second Ardour process
# must find the parameters and the recorded take back (grainwheel plays it while the
# transport rolls), with no WAV file written anywhere: the take is in the plug-in's state.
# Prints the state's size and the save and reopen times.
# Usage: ardour-vst3-session.sh BUNDLE WORKDIR
set -u
bundle=$1
work=$2
lua=$(command -v ardour7-lua || true)
scanner=/usr/lib/ardour7/ardour-vst3-scanner
if [ -z "$lua" ] || [ ! -x "$scanner" ]; then
  echo "Ardour 7 (ardour7-lua, ardour-vst3-scanner) is not installed (Debian package ardour)"
  exit 1
fi
rm -rf "$work"; mkdir -p "$work/home/.config/ardour7" "$work/home/.vst3"
work=$(cd "$work" && pwd)
cp -R "$bundle" "$work/home/.vst3/"
# Older than the scanner's index of it (Ardour rescans a module no older than its index).
find "$work/home/.vst3" -exec touch -d '1 minute ago' {} +
# A private Ardour: its own home and caches, VST 3 plug-ins from this build's bundle only
# (indexed by the scanner first, as Ardour does when it discovers plug-ins).
export HOME=$work/home XDG_CACHE_HOME=$work/home/.cache XDG_CONFIG_HOME=$work/home/.config
export XDG_DATA_HOME=$work/data
unset DISPLAY WAYLAND_DISPLAY
LD_LIBRARY_PATH=/usr/lib/ardour7 timeout 120 "$scanner" -f "$work/home/.vst3/grainwheel.vst3" >/dev/null 2>&1
# Ardour names a VST 3 plug-in by its class identifier.
cid=$(python3 -c "import json,sys; print(json.load(open(sys.argv[1]))['Classes'][0]['CID'])" \
      "$bundle/Contents/Resources/moduleinfo.json")

fail=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; fail=1; fi
}
has() { grep -qF -- "$2" "$1"; }
run_lua() {  # run_lua SCRIPT LOG
  timeout 180 "$lua" "$1" > "$2" 2>&1
  local rc=$?
  grep -v 'Ignored automation data' "$2" | sed 's/^/    /'
  return $rc
}

# Ardour numbers the parameters it can automate, leaving out the program change: mainLevl
# (1) is 1, rec free (9) is 9, unit 3's time (45) is 41.
cat > "$work/create.lua" <<LUA
local backend = AudioEngine:set_backend("None (Dummy)", "", "")
assert(backend:set_device_name("Sine Wave") == 0, "the dummy back end has no sine wave input")
create_session("$work/session", "gw", 48000)
ARDOUR.LuaAPI.list_plugins()  -- Ardour reads its plug-in index
local t = Session:new_audio_track(2, 2, nil, 1, "gw", ARDOUR.PresentationInfo.max_order,
                                  ARDOUR.TrackMode.Normal, true):front()
local p = ARDOUR.LuaAPI.new_plugin(Session, "$cid", ARDOUR.PluginType.VST3, "")
assert(not p:isnil(), "grainwheel (VST 3) not found")
assert(t:add_processor_by_index(p, 0, nil, true))
t:monitoring_control():set_value(ARDOUR.MonitorChoice.MonitorInput, PBD.GroupControlDisposition.NoGroup)
ARDOUR.LuaAPI.set_processor_param(p, 1, 0.3)
ARDOUR.LuaAPI.set_processor_param(p, 41, 0.7)
Session:request_roll(ARDOUR.TransportRequestSource.TRS_UI)
os.execute("sleep 0.5")
print(string.format("rolling %s", tostring(Session:transport_rolling())))
ARDOUR.LuaAPI.set_processor_param(p, 9, 1)
os.execute("sleep 1")
ARDOUR.LuaAPI.set_processor_param(p, 9, 0)
os.execute("sleep 0.3")
Session:request_stop(false, false, ARDOUR.TransportRequestSource.TRS_UI)
os.execute("sleep 0.3")
local t0 = os.clock()
Session:save_state("", false, false, false, false, false)
print(string.format("saved in %.3f s", os.clock() - t0))
close_session()
LUA
run_lua "$work/create.lua" "$work/create.log"
check "Ardour rolled and saved a session with grainwheel (VST 3)" \
  bash -c "grep -qx 'rolling true' '$work/create.log' && grep -q '^saved' '$work/create.log'"
check "no WAV file was written for the take" test "$(find "$work" -name '*.wav' -path '*buffer*' | wc -l)" = 0
echo "    the session folder: $(du -sb "$work/session" | cut -f1) bytes"

cat > "$work/reopen.lua" <<LUA
AudioEngine:set_backend("None (Dummy)", "", "")
local t0 = os.time()
load_session("$work/session", "gw")
print(string.format("loaded in about %d s", os.time() - t0))
local t = Session:route_by_name("gw")
local p = t:nth_plugin(0)
assert(not p:isnil(), "no plug-in on the track")
print(string.format("params %.2f %.2f %.2f", ARDOUR.LuaAPI.get_processor_param(p, 1, true),
                    ARDOUR.LuaAPI.get_processor_param(p, 41, true),
                    ARDOUR.LuaAPI.get_processor_param(p, 9, true)))
Session:request_roll(ARDOUR.TransportRequestSource.TRS_UI)
local peak = -200
for i = 1, 20 do
  os.execute("sleep 0.1")
  local level = t:peak_meter():meter_level(0, ARDOUR.MeterType.MeterPeak)
  if level > peak then peak = level end
end
print(string.format("peak %.1f", peak))
Session:request_stop(false, false, ARDOUR.TransportRequestSource.TRS_UI)
os.execute("sleep 0.3")
close_session()
LUA
run_lua "$work/reopen.lua" "$work/reopen.log"
check "the parameters came back (mainLevl 0.3, time03 0.7, rec free off)" has "$work/reopen.log" "params 0.30 0.70 0.00"
peak=$(sed -n 's/^peak //p' "$work/reopen.log")
check "grainwheel played the restored take (peak ${peak:-none} dBFS)" \
  awk -v p="${peak:--200}" 'BEGIN { exit !(p > -60) }'
exit $fail
