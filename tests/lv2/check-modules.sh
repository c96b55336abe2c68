#!/usr/bin/env bash
# The LV2 bundle's two modules: the plug-in exports exactly lv2_descriptor and links no
# windowing or drawing library (nor any of the toolkit's code), so that a host may load it
# where there is no display; the UI exports exactly lv2ui_descriptor.
# Usage: check-modules.sh grainwheel_dsp.so [grainwheel_ui.so]
set -u
dsp=$1
ui=${2:-}
fail=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; fail=1; fi
}
exports() { nm -D --defined-only "$1" | awk '{print $NF}' | sort | tr '\n' ' '; }
check "the plug-in exports only lv2_descriptor ($(exports "$dsp"))" test "$(exports "$dsp")" = "lv2_descriptor "
needed=$(objdump -p "$dsp" | awk '/NEEDED/ {print $2}' | tr '\n' ' ')
check "the plug-in needs no X11, xcb, cairo or freetype library ($needed)" \
  bash -c "! echo '$needed' | grep -qiE 'x11|xcb|cairo|freetype|gtk'"
check "the plug-in holds none of the toolkit's code" \
  bash -c "! nm -C '$dsp' | grep -qE 'VSTGUI::|ADEditor|CFrame|cairo_|xcb_'"
if [ -n "$ui" ]; then
  check "the UI exports only lv2ui_descriptor ($(exports "$ui"))" test "$(exports "$ui")" = "lv2ui_descriptor "
fi
exit $fail
