#!/usr/bin/env bash
# Ardour's VST 3 scanner must index grainwheel.vst3: the class of moduleinfo.json, an
# effect (Fx) with 2 inputs and 2 outputs and no MIDI. Its cache goes to a private folder.
# Usage: ardour-vst3-scan.sh grainwheel.vst3 WORKDIR
set -u
bundle=$1
work=$2
scanner=/usr/lib/ardour7/ardour-vst3-scanner
if [ ! -x "$scanner" ]; then
  echo "ardour-vst3-scanner not installed (Debian package ardour)"
  exit 1
fi
rm -rf "$work"; mkdir -p "$work"
out=$(HOME=$work XDG_CACHE_HOME=$work/cache LD_LIBRARY_PATH=/usr/lib/ardour7 timeout 120 "$scanner" -f -v "$bundle" 2>&1)
rc=$?
echo "$out"
[ $rc = 0 ] || { echo "scanner failed with $rc"; exit 1; }
info=$(echo "$out" | grep '<VST3Info ')
cid=$(python3 -c "import json,sys; print(json.load(open(sys.argv[1]))['Classes'][0]['CID'])" \
      "$bundle/Contents/Resources/moduleinfo.json")
fail=0
for want in "uid=\"$cid\"" 'name="grainwheel"' 'category="Fx"' 'n_inputs="2"' 'n_outputs="2"' \
            'n_midi_inputs="0"' 'n_aux_inputs="0"'; do
  case "$info" in
    *"$want"*) echo "ok: $want" ;;
    *) echo "MISSING: $want"; fail=1 ;;
  esac
done
exit $fail
