#!/usr/bin/env bash
# Installs the Debian packages grainwheel needs to build, test and run its tools.
# Usage: scripts/install-deps.sh [base|test]
#   base: compiler, build system, libraries for the plug-in and grainwheel-host
#   test: base plus test tools (Ardour's scanner, mingw-w64 + 32-bit Wine (64-bit
#         mingw-w64 + Wine for kernels that cannot run 32-bit programs), Xvfb, clang for
#         fuzzing and the real-time sanitizer, FFTW for the benchmark reference)
set -euo pipefail
what=${1:-base}
SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi

base_pkgs=(build-essential cmake ninja-build pkg-config
           libcairo2-dev libxcb1-dev libxcb-xtest0-dev libfreetype-dev fonts-dejavu-core fonts-dejavu-extra libsndfile1-dev
           libgtest-dev libgmock-dev libbenchmark-dev)
test_pkgs=(sox ardour dpf-plugins-vst g++-mingw-w64-i686 g++-mingw-w64-x86-64-posix wine64 xvfb x11-utils xdotool imagemagick
           clang-22 libclang-rt-22-dev libfftw3-dev zenity)

need=()
want=("${base_pkgs[@]}")
if [ "$what" = test ]; then want+=("${test_pkgs[@]}"); fi
for p in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || need+=("$p")
done
wine_needed=0
if [ "$what" = test ]; then
  dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed' || wine_needed=1
fi
if [ ${#need[@]} -eq 0 ] && [ $wine_needed = 0 ]; then exit 0; fi

export DEBIAN_FRONTEND=noninteractive
if [ $wine_needed = 1 ]; then
  dpkg --print-foreign-architectures | grep -q i386 || $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -qq
if [ ${#need[@]} -gt 0 ]; then
  $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi
if [ $wine_needed = 1 ]; then
  $SUDO apt-get install -y -qq --no-install-recommends wine wine32:i386 >/dev/null
fi
