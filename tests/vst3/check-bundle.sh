#!/usr/bin/env bash
# The VST 3 bundle as hosts find it: the module in Contents/x86_64-linux exports exactly
# GetPluginFactory, ModuleEntry and ModuleExit, and Contents/Resources/moduleinfo.json
# is well-formed JSON naming the class.
# Usage: check-bundle.sh BUNDLE
set -u
bundle=$1
so=$bundle/Contents/x86_64-linux/grainwheel.so
info=$bundle/Contents/Resources/moduleinfo.json
fail=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; fail=1; fi
}
exports=$(nm -D --defined-only "$so" | awk '{print $NF}' | sort | tr '\n' ' ')
check "the module exports only the entry points ($exports)" test "$exports" = "GetPluginFactory ModuleEntry ModuleExit "
check "moduleinfo.json is JSON naming the class" \
  python3 -c "import json,sys; d=json.load(open(sys.argv[1])); assert d['Classes'][0]['Name']=='grainwheel'" "$info"
exit $fail
