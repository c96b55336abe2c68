#!/usr/bin/env bash
# Checks that the DLL imports only DLLs every Windows has (the compiler's run-time is linked
# in statically) and that a package of it holds the DLL and the text on where to put it.
# Usage: check-imports.sh OBJDUMP grainwheel.dll WORKDIR
set -eu
objdump=$1; dll=$2; work=$3
imports=$("$objdump" -p "$dll" | awk '/DLL Name:/{print $3}' | tr 'A-Z' 'a-z' | sort | tr '\n' ' ')
echo "imports: $imports"
for name in $imports; do
  case "$name" in
    kernel32.dll|user32.dll|gdi32.dll|comdlg32.dll|shell32.dll|advapi32.dll|ole32.dll|msvcrt.dll) ;;
    *) echo "not a system DLL: $name"; exit 1 ;;
  esac
done
for needed in kernel32.dll user32.dll gdi32.dll; do
  case " $imports" in *" $needed "*) ;; *) echo "missing $needed: is the editor built in?"; exit 1 ;; esac
done
mkdir -p "$work"
zip=$work/grainwheel-test.zip
"$(dirname "$0")/../../scripts/package-windows.sh" --from "$dll" "$zip" >/dev/null
listing=$(cd "$work" && cmake -E tar tf "$zip" | sort | tr '\n' ' ')
echo "package: $listing"
[ "$listing" = "README.txt grainwheel.dll " ]
rm -rf "$work/unpacked" && mkdir -p "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "$zip")
cmp "$dll" "$work/unpacked/grainwheel.dll"
grep -q "VST 2 plug-ins" "$work/unpacked/README.txt"
