#!/usr/bin/env bash
# Builds the plug-in and copies it where Linux hosts look for it: the VST 2 module into
# ~/.vst, the LV2 bundle grainwheel.lv2 into ~/.lv2, the VST 3 bundle grainwheel.vst3
# into ~/.vst3, the CLAP module grainwheel.clap into ~/.clap.
# Usage: scripts/install-plugin.sh [FOLDER] [--lv2 FOLDER] [--vst3 FOLDER] [--clap FOLDER]
#                                  [--vst-only | --lv2-only | --vst3-only | --clap-only] [--link]
#   FOLDER        where the VST 2 module goes (default ~/.vst; or a folder on your LXVST_PATH)
#   --lv2 FOLDER  where the LV2 bundle goes (default ~/.lv2; or a folder on your LV2_PATH)
#   --vst3 FOLDER where the VST 3 bundle goes (default ~/.vst3)
#   --clap FOLDER where the CLAP module goes (default ~/.clap; or a folder on your CLAP_PATH)
#   --link        symbolic links to the build output instead of copies
set -eu
cd "$(dirname "$0")/.."
vst_dest="$HOME/.vst"
lv2_dest="$HOME/.lv2"
vst3_dest="$HOME/.vst3"
clap_dest="$HOME/.clap"
link=0
want_vst=1
want_lv2=1
want_vst3=1
want_clap=1
while [ $# -gt 0 ]; do
  case "$1" in
    --link) link=1 ;;
    --lv2) shift; lv2_dest=${1:?--lv2 needs a folder} ;;
    --vst3) shift; vst3_dest=${1:?--vst3 needs a folder} ;;
    --clap) shift; clap_dest=${1:?--clap needs a folder} ;;
    --vst-only) want_lv2=0; want_vst3=0; want_clap=0 ;;
    --lv2-only) want_vst=0; want_vst3=0; want_clap=0 ;;
    --vst3-only) want_vst=0; want_lv2=0; want_clap=0 ;;
    --clap-only) want_vst=0; want_lv2=0; want_vst3=0 ;;
    -h | --help) sed -n '2,12p' "$0"; exit 0 ;;
    *) vst_dest=$1 ;;
  esac
  shift
done
if [ ! -f build/build.ninja ]; then
  ./scripts/install-deps.sh base
  cmake -S . -B build -G Ninja >/dev/null
fi
targets=()
[ $want_vst = 1 ] && targets+=(grainwheel)
[ $want_lv2 = 1 ] && targets+=(grainwheel_lv2)
[ $want_vst3 = 1 ] && targets+=(grainwheel_vst3)
[ $want_clap = 1 ] && targets+=(grainwheel_clap)
ninja -C build -j"${GW_JOBS:-2}" "${targets[@]}"

place() {  # place SOURCE TARGET: a copy (a folder's contents replaced whole) or a link
  rm -rf "$2"
  if [ $link = 1 ]; then ln -s "$(pwd)/$1" "$2"; else cp -R "$1" "$2"; fi
}
if [ $want_vst = 1 ]; then
  mkdir -p "$vst_dest"
  place build/plugin/grainwheel.so "$vst_dest/grainwheel.so"
  echo "installed: $vst_dest/grainwheel.so"
fi
if [ $want_lv2 = 1 ]; then
  if [ ! -f build/lv2/grainwheel.lv2/manifest.ttl ]; then
    echo "the LV2 bundle was not built (the LV2 headers, Debian package lv2-dev, are missing)" >&2
    exit 1
  fi
  mkdir -p "$lv2_dest"
  place build/lv2/grainwheel.lv2 "$lv2_dest/grainwheel.lv2"
  echo "installed: $lv2_dest/grainwheel.lv2"
fi
if [ $want_vst3 = 1 ]; then
  mkdir -p "$vst3_dest"
  place build/vst3/grainwheel.vst3 "$vst3_dest/grainwheel.vst3"
  echo "installed: $vst3_dest/grainwheel.vst3"
  echo "On Windows, copy the folder grainwheel.vst3 of the Windows build (build-win64/vst3/) into"
  echo "C:\\Program Files\\Common Files\\VST3."
fi
if [ $want_clap = 1 ]; then
  mkdir -p "$clap_dest"
  place build/clap/grainwheel.clap "$clap_dest/grainwheel.clap"
  echo "installed: $clap_dest/grainwheel.clap"
  echo "On Windows, copy grainwheel.clap of the Windows build (build-win64/clap/) into"
  echo "C:\\Program Files\\Common Files\\CLAP."
fi
