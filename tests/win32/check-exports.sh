#!/usr/bin/env bash
# Checks that the DLL exports exactly `main` and `VSTPluginMain`.
# Usage: check-exports.sh OBJDUMP grainwheel.dll
set -eu
names=$("$1" -p "$2" | awk '/\[Ordinal\/Name Pointer\] Table/{t=1;next} t&&/^[ \t]*\[/{print $NF} t&&/^$/{t=0}' | sort | tr '\n' ' ')
echo "exports: $names"
[ "$names" = "VSTPluginMain main " ]
