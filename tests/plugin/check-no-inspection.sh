#!/usr/bin/env bash
# The plug-in modules contain no editor inspection: none of its functions is defined in
# them. The module built for the suites has them, which shows that the look-up finds them
# where they are.
# Usage: check-no-inspection.sh INSPECTABLE_MODULE MODULE...
set -eu
pattern='CFrame::(layoutJson|writeLayout|writeSnapshot|describeStatus|composePicture)'
inspection() { nm -C --defined-only "$1" | grep -E "$pattern" || true; }
[ -n "$(inspection "$1")" ] || { echo "$1: the look-up finds no inspection in the module built for it"; exit 1; }
shift
status=0
for module in "$@"; do
  found=$(inspection "$module")
  if [ -n "$found" ]; then
    echo "$module contains the editor inspection:"; echo "$found"; status=1
  else
    echo "$module: no editor inspection"
  fi
done
exit $status
