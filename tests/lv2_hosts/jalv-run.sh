#!/usr/bin/env bash
# jalv (its console front end) runs grainwheel's LV2 plug-in as a JACK client on the private
# server of tests/support/with-jackd.sh: it instantiates it and lists its 107 controls; a
# click from jack_metro goes through grainwheel (trigger mode and monitoring on) and comes
# out of its ports (recorded by jack_rec); a control set on jalv's command line takes effect
# (monitoring off: the empty buffers give silence); closing jalv's input ends it cleanly.
# Usage: with-jackd.sh jalv-run.sh BUNDLE_FOLDER WORKDIR
set -u
bundle=$1
work=$2
for tool in jalv jack_lsp jack_connect jack_metro jack_rec sox; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed (Debian packages jalv, jackd2, sox)"; exit 1; }
done
[ -n "${JACK_DEFAULT_SERVER:-}" ] || { echo "run me through tests/support/with-jackd.sh"; exit 1; }
rm -rf "$work"; mkdir -p "$work"
work=$(cd "$work" && pwd)
bundle=$(cd "$bundle" && pwd)
export LV2_PATH=$(dirname "$bundle")

fail=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; fail=1; fi
}
peak() { sox "$1" -n stat 2>&1 | awk '/^Maximum amplitude/ { m = $3 } /^Minimum amplitude/ { n = -$3 } END { print (m > n ? m : n) + 0 }'; }
pids=()
cleanup() { local p; for p in "${pids[@]}"; do kill "$p" 2>/dev/null; wait "$p" 2>/dev/null; done; }
trap cleanup EXIT

jack_metro -n metro -b 600 -f 880 -A 0.5 -D 20 > "$work/metro.log" 2>&1 &
pids+=($!)
# jalv reads its commands from a pipe this script holds open; closing it ends jalv.
mkfifo "$work/commands"
jalv -x -n gw -c trigmode=1 -c monitor=1 urn:orbelune:grainwheel < "$work/commands" > "$work/jalv.out" 2> "$work/jalv.err" &
jalv_pid=$!
pids+=("$jalv_pid")
exec 3> "$work/commands"
# Every JACK client below has a time limit: on a loaded machine a stalled server must fail
# the test, not hang it.
for _ in $(seq 200); do
  timeout 5 jack_lsp 2>/dev/null | grep -q '^gw:out_right$' && break
  kill -0 "$jalv_pid" 2>/dev/null || break
  sleep 0.1
done
timeout 5 jack_lsp > "$work/ports.txt" 2>&1
check "jalv registered grainwheel's four audio ports" \
  test "$(grep -cxE 'gw:(in|out)_(left|right)' "$work/ports.txt")" = 4
timeout 5 jack_connect metro:600_bpm gw:in_left && timeout 5 jack_connect metro:600_bpm gw:in_right
check "the click is connected to grainwheel's inputs" test $? = 0

# jack_rec takes whole seconds.
timeout 15 jack_rec -f "$work/through.wav" -d 1 gw:out_left gw:out_right > "$work/rec.log" 2>&1
p=$(peak "$work/through.wav")
check "the click came through grainwheel (peak $p)" awk -v p="$p" 'BEGIN { exit !(p > 0.3) }'
echo "set monitor 0" >&3
sleep 0.3
timeout 15 jack_rec -f "$work/quiet.wav" -d 1 gw:out_left gw:out_right > "$work/rec.log" 2>&1
p=$(peak "$work/quiet.wav")
check "with monitoring set off through jalv the output is silent (peak $p)" awk -v p="$p" 'BEGIN { exit !(p == 0) }'
echo "controls" >&3
sleep 0.3
exec 3>&-
for _ in $(seq 100); do kill -0 "$jalv_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$jalv_pid" 2>/dev/null; then
  kill "$jalv_pid"
  echo "    jalv was still running 10 s after its input closed"
fi
wait "$jalv_pid"
rc=$?
sed 's/^/    /' "$work/jalv.err"
check "jalv ended cleanly when its input closed (status $rc)" test "$rc" = 0
# At start jalv echoes the controls given with -c, then lists every control.
awk '/^> / { exit } / = / { print $1 }' "$work/jalv.out" > "$work/listed.txt"
check "jalv listed the 107 controls at start" test "$(sort -u "$work/listed.txt" | wc -l)" = 107
check "the list runs from bufferNo to freq16" \
  bash -c "grep -qx bufferno '$work/listed.txt' && tail -n 1 '$work/listed.txt' | grep -qx freq16"
check "the controls set on the command line and through jalv are shown" \
  bash -c "sed -n '/^> /,\$p' '$work/jalv.out' | grep -q '^trigmode = 1.0' && sed -n '/^> /,\$p' '$work/jalv.out' | grep -q '^monitor = 0.0'"
check "nothing went wrong (no error on jalv's error output)" \
  bash -c "! grep -qiE 'error|fail|grainwheel:' '$work/jalv.err'"
exit $fail
