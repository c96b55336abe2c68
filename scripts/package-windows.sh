#!/usr/bin/env bash
# Builds the Windows plug-in packages: out/grainwheel-win32.zip (32-bit) and
# out/grainwheel-win64.zip (x86-64), each with grainwheel.dll and a short text on where to
# put it. The DLLs are Release builds with the compiler's run-time linked in, so they need
# nothing that Windows does not have; the script checks that they import system DLLs only.
# Usage: scripts/package-windows.sh [OUTDIR]
#        scripts/package-windows.sh --from DLL ZIP [32-bit|64-bit]   (packages a DLL built already)
set -eu
cd "$(dirname "$0")/.."
jobs=${GW_JOBS:-2}

# The DLLs a plug-in may import: those every Windows installation has.
system_dlls='^(kernel32|user32|gdi32|comdlg32|shell32|advapi32|ole32|oleaut32|shlwapi|msvcrt|ucrtbase|api-ms-win-[a-z0-9-]+)\.dll$'

check_imports() {  # check_imports OBJDUMP DLL
  local bad=0 name
  for name in $("$1" -p "$2" | awk '/DLL Name:/{print $3}'); do
    if ! echo "$name" | tr 'A-Z' 'a-z' | grep -Eq "$system_dlls"; then
      echo "$2 imports $name, which Windows does not have" >&2; bad=1
    fi
  done
  return $bad
}

readme() {  # readme 32-bit|64-bit
  cat <<TEXT
grainwheel $(sed -n 's/^project(grainwheel VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt) for Windows, $1 (VST 2.x audio effect)

Installing: copy grainwheel.dll into the folder your host scans for VST 2 plug-ins, for
example C:\\Program Files\\VSTPlugins (the
folder is set in the host's plug-in preferences), then let the host rescan its plug-ins.
A $1 host needs the $1 DLL: use grainwheel-win32.zip for 32-bit hosts and
grainwheel-win64.zip for 64-bit hosts.

The DLL needs no other file: its artwork and font are built in, and it uses only what
Windows itself provides. Banks (.grb) and buffers (.wav) are kept wherever you save them.
TEXT
}

package() {  # package DLL ZIP 32-bit|64-bit
  local dll=$1 zip=$2 kind=$3 stage
  stage=$(mktemp -d)
  cp "$dll" "$stage/grainwheel.dll"
  readme "$kind" | sed 's/$/\r/' > "$stage/README.txt"
  mkdir -p "$(dirname "$zip")"
  rm -f "$zip"
  local abs
  abs=$(cd "$(dirname "$zip")" && pwd)/$(basename "$zip")
  (cd "$stage" && cmake -E tar cf "$abs" --format=zip grainwheel.dll README.txt)
  rm -rf "$stage"
  echo "packaged: $zip"
}

if [ "${1:-}" = --from ]; then
  package "$2" "$3" "${4:-32-bit}"
  exit 0
fi

out=${1:-out}
for arch in i686 x86_64; do
  dir=build-package-$arch
  cmake -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-$arch.cmake \
        -DCMAKE_BUILD_TYPE=Release -DGW_TESTS=OFF >/dev/null
  ninja -C "$dir" -j"$jobs" grainwheel
  "$arch-w64-mingw32-strip" -o "$dir/grainwheel-stripped.dll" "$dir/plugin/grainwheel.dll"
  check_imports "$arch-w64-mingw32-objdump" "$dir/grainwheel-stripped.dll"
  if [ $arch = i686 ]; then
    package "$dir/grainwheel-stripped.dll" "$out/grainwheel-win32.zip" 32-bit
  else
    package "$dir/grainwheel-stripped.dll" "$out/grainwheel-win64.zip" 64-bit
  fi
done
