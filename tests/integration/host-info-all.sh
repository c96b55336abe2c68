#!/usr/bin/env bash
# grainwheel-host info must load, describe and close every VST 2 plug-in in a folder.
# Usage: host-info-all.sh GRAINWHEEL_HOST FOLDER
set -u
host=$1; folder=$2
n=0; bad=0
for p in "$folder"/*.so; do
  [ -e "$p" ] || continue
  n=$((n + 1))
  if out=$(timeout 60 "$host" info "$p" 2>&1) && echo "$out" | grep -q '^closed: *ok'; then
    echo "ok: $p ($(echo "$out" | sed -n 's/^name: *//p'))"
  else
    echo "FAILED: $p"; echo "$out" | tail -5; bad=$((bad + 1))
  fi
done
echo "$n plug-ins, $bad failed"
[ "$n" -gt 0 ] && [ "$bad" = 0 ]
