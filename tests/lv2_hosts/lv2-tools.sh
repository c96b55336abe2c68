#!/usr/bin/env bash
# The LV2 bundle as the reference tools see it: lv2_validate finds nothing wrong in its
# Turtle files (checked against the installed LV2 specifications), lv2info lists its ports
# (107 control inputs, stereo audio in and out, the time input), and lv2apply, a host that
# gives no features and no transport at all, runs it: with monitoring on the input comes
# out sample for sample, in trigger mode or not (without time information the engine's
# transport stays as it starts, playing); with the defaults the output is silent.
# Usage: lv2-tools.sh BUNDLE_FOLDER WORKDIR
set -u
bundle=$1
work=$2
for tool in lv2_validate lv2info lv2apply sox; do
  command -v "$tool" >/dev/null ||
    { echo "$tool is not installed (Debian packages sordi, lilv-utils, lv2-dev, sox)"; exit 1; }
done
rm -rf "$work"; mkdir -p "$work"
work=$(cd "$work" && pwd)
bundle=$(cd "$bundle" && pwd)
# Only this bundle: an installed grainwheel elsewhere must not answer for it.
export LV2_PATH=$(dirname "$bundle")
uri=urn:orbelune:grainwheel

fail=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; fail=1; fi
}
has() { grep -qF -- "$2" "$1"; }

# 1. The Turtle files against the specifications.
lv2_validate "$bundle"/*.ttl > "$work/validate.log" 2>&1
rc=$?
grep -v '^Skipping file' "$work/validate.log" | sed 's/^/    /'
check "lv2_validate passes" test $rc = 0
check "lv2_validate reports no error or warning" bash -c "! grep -qiE '^(error|warning)' '$work/validate.log'"

# 2. lv2info's ports, counted from its listing by their types.
lv2info "$uri" > "$work/lv2info.txt" 2>&1 || { cat "$work/lv2info.txt"; echo "FAILED: lv2info"; exit 1; }
awk '
  /^\tPort [0-9]+:/ { if (t != "") print t; t = "" ; next }
  /^\t\tType:/ || (/^\t\t +http/ && t != "" && types) { t = t " " $NF; types = 1; next }
  /^\t\t[A-Z]/ { types = 0 }
  END { if (t != "") print t }
' "$work/lv2info.txt" | sed 's|http://lv2plug.in/ns/[a-z0-9/-]*#||g' | sort | uniq -c > "$work/ports.txt"
sed 's/^/    /' "$work/ports.txt"
count() { awk -v k="$1" '{ c = $1; $1 = ""; sub(/^ /, ""); if ($0 == k) n = c } END { print n + 0 }' "$work/ports.txt"; }
check "107 control inputs" test "$(count 'ControlPort InputPort')" = 107
check "2 audio inputs" test "$(count 'AudioPort InputPort')" = 2
check "2 audio outputs" test "$(count 'AudioPort OutputPort')" = 2
check "1 atom input" test "$(count 'AtomPort InputPort')" = 1
check "1 atom output" test "$(count 'AtomPort OutputPort')" = 1
check "113 ports in all" test "$(awk '{ n += $1 } END { print n }' "$work/ports.txt")" = 113
check "the atom output is the optional notify port, last" \
  bash -c "grep -A8 -P '^\tPort 112:' '$work/lv2info.txt' | grep -q notify && grep -A8 -P '^\tPort 112:' '$work/lv2info.txt' | grep -q connectionOptional"
check "the atom input is the optional time port" \
  bash -c "grep -A6 -P '^\tPort 111:' '$work/lv2info.txt' | grep -q connectionOptional"
# lv2info does not list what an atom port supports: the description says it.
check "the time port supports time:Position" \
  bash -c "tr -d '\n' < '$bundle/grainwheel.ttl' | grep -qE 'lv2:symbol \"time\" ;[^]]*atom:supports time:Position'"
check "the plug-in is an LV2 delay plug-in" \
  bash -c "LV2_PATH='$LV2_PATH:/usr/lib/lv2' lv2info '$uri' | grep -q 'Class: *Delay Plugin'"
check "the first control port is bufferNo" \
  bash -c "awk '/^\tPort 1:/ { exit } /Symbol:/ { print \$2 }' '$work/lv2info.txt' | grep -qx bufferno"

# 3. lv2apply: no features, no transport.
sox -n -r 44100 -c 2 -b 32 -e floating-point "$work/in.wav" synth 1 sine 440 sine 660 gain -6 ||
  { echo "FAILED: sox could not make the test signal"; exit 1; }
sox "$work/in.wav" -t raw "$work/in.raw" 2>/dev/null
apply() {  # apply OUT.wav CONTROL VALUE...
  local out=$1; shift
  local args=()
  while [ $# -gt 1 ]; do args+=(-c "$1" "$2"); shift 2; done
  lv2apply -i "$work/in.wav" -o "$work/$out" "${args[@]}" "$uri" > "$work/$out.log" 2>&1
}
peak() { sox "$1" -n stat 2>&1 | awk '/^Maximum amplitude/ { m = $3 } /^Minimum amplitude/ { n = -$3 } END { print (m > n ? m : n) }'; }
apply through.wav trigmode 1 monitor 1
check "lv2apply ran grainwheel in trigger mode" test $? = 0
sox "$work/through.wav" -t raw "$work/through.raw" 2>/dev/null
check "with trigger mode and monitoring the input passes unchanged (32-bit float, $(stat -c %s "$work/in.raw") bytes)" \
  cmp -s "$work/in.raw" "$work/through.raw"
apply silent.wav
p=$(peak "$work/silent.wav")
check "with the defaults the output is silent, its buffers being empty (peak $p)" \
  awk -v p="$p" -v n="$(stat -c %s "$work/silent.wav")" 'BEGIN { exit !(p == 0 && n > 352800) }'
# A host that gives no time information leaves the engine's transport as it starts, playing:
# monitoring passes the input without trigger mode too.
apply monitor.wav monitor 1
sox "$work/monitor.wav" -t raw "$work/monitor.raw" 2>/dev/null
check "without transport information monitoring passes the input" cmp -s "$work/in.raw" "$work/monitor.raw"
exit $fail
