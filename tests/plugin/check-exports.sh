#!/usr/bin/env bash
# The plug-in exports exactly `main` and `VSTPluginMain`.
set -eu
names=$(nm -D --defined-only "$1" | awk '{print $NF}' | sort | tr '\n' ' ')
echo "exports: $names"
[ "$names" = "VSTPluginMain main " ]
