#!/usr/bin/env bash
# Ardour's VST 2 scanner must find grainwheel: 2 inputs, 2 outputs, an editor, replacing
# processing, category Effect. Its cache goes to a private folder.
# Usage: ardour-scan.sh grainwheel.so WORKDIR
set -u
plugin=$1
work=$2
scanner=/usr/lib/ardour7/ardour-vst-scanner
if [ ! -x "$scanner" ]; then
  echo "ardour-vst-scanner not installed (Debian package ardour)"
  exit 1
fi
rm -rf "$work"; mkdir -p "$work"
out=$(HOME=$work XDG_CACHE_HOME=$work/cache LD_LIBRARY_PATH=/usr/lib/ardour7 timeout 120 "$scanner" -f -v "$plugin" 2>&1)
rc=$?
echo "$out"
[ $rc = 0 ] || { echo "scanner failed with $rc"; exit 1; }
info=$(echo "$out" | grep '<VST2Info ')
fail=0
for want in 'name="grainwheel"' 'category="Effect"' 'n_inputs="2"' 'n_outputs="2"' \
            'can_process_replace="1"' 'has_editor="1"' 'is_instrument="0"' 'id="1196896313"'; do
  case "$info" in
    *"$want"*) echo "ok: $want" ;;
    *) echo "MISSING: $want"; fail=1 ;;
  esac
done
exit $fail
