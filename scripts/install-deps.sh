#!/usr/bin/env bash
# Installs the Debian packages grainwheel needs to build, test and run its tools.
# Usage: scripts/install-deps.sh [base|test]
#   base: compiler, build system, libraries for the plug-in and grainwheel-host
#   test: base plus test tools (Ardour's scanner, mingw-w64 + Wine, Xvfb, clang for fuzzing
#         and the real-time sanitizer, FFTW for the benchmark reference, the LV2 headers,
#         lilv, the LV2 validator and tools, jalv and JACK for the LV2 host tests), and
#         32-bit Wine where it can be had
#
# Nothing asks questions: packages that would (jackd2 asks about real-time priority) take
# their defaults, also through sudo, which does not pass the caller's environment on.
#
# A mirror in the middle of a sync can serve an index that does not match its Release file;
# apt-get update then exits 100 and leaves that index out. The update is tried again, and
# then the packages are installed from the indexes that did arrive. The script fails only
# when a package that the run needs cannot be installed, and names it.
#
# 32-bit Wine (wine32:i386) is optional: it needs the i386 index, and its library versions
# must match the amd64 ones exactly. Without it the Windows suites run against the 64-bit
# DLL under wine64 (scripts/run-tests.sh).
set -uo pipefail
what=${1:-base}
SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi
export DEBIAN_FRONTEND=noninteractive

base_pkgs=(build-essential cmake ninja-build pkg-config
           libcairo2-dev libxcb1-dev libxcb-xtest0-dev libfreetype-dev fonts-dejavu-core fonts-dejavu-extra libsndfile1-dev
           libgtest-dev libgmock-dev libbenchmark-dev lv2-dev)
test_pkgs=(sox ardour qtractor dpf-plugins-vst g++-mingw-w64-i686 g++-mingw-w64-x86-64-posix wine wine64 xvfb x11-utils xdotool
           imagemagick clang-22 libclang-rt-22-dev libfftw3-dev libsoxr-dev zenity
           liblilv-dev sordi lilv-utils jalv jackd2 openbox)
optional_pkgs=()
if [ "$what" = test ]; then optional_pkgs=(wine32:i386); fi

say() { echo "install-deps: $*" >&2; }
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
missing() {  # missing PKG...: prints those not installed
  local p
  for p in "$@"; do installed "$p" || echo "$p"; done
}
apt() { $SUDO env DEBIAN_FRONTEND=noninteractive apt-get -o Acquire::Retries=3 -o Dpkg::Use-Pty=0 "$@"; }

pause=${GW_APT_RETRY_PAUSE:-5}   # seconds before the second update; twice that before the third
update_indexes() {
  local attempt
  for attempt in 1 2 3; do
    apt update -qq && return 0
    say "apt-get update failed (attempt $attempt of 3)"
    [ "$attempt" -lt 3 ] && sleep $((attempt * pause))
  done
  say "going on with the package indexes that could be fetched"
}

# install_packages PKG...: all at once; where that fails, after a fresh update, one by one,
# so that one package that cannot be had does not keep the others out.
install_packages() {
  [ $# -gt 0 ] || return 0
  apt install -y -qq --no-install-recommends "$@" >/dev/null && return 0
  say "installing them together failed; updating the indexes and trying one by one"
  update_indexes
  local p
  for p in "$@"; do
    installed "$p" && continue
    apt install -y -qq --no-install-recommends "$p" >/dev/null || say "could not install $p"
  done
}

want=("${base_pkgs[@]}")
if [ "$what" = test ]; then want+=("${test_pkgs[@]}"); fi
mapfile -t need < <(missing "${want[@]}")
mapfile -t need_optional < <(missing "${optional_pkgs[@]}")
if [ ${#need[@]} -eq 0 ] && [ ${#need_optional[@]} -eq 0 ]; then exit 0; fi

if [ ${#need_optional[@]} -gt 0 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
update_indexes
install_packages "${need[@]}"

# Optional packages, each on its own: their failure is reported, not fatal.
for p in "${need_optional[@]}"; do
  if ! apt install -y -qq --no-install-recommends "$p" >/dev/null; then
    say "optional package $p could not be installed (its index may be missing, or its versions may not match the amd64 ones yet)"
  fi
done
if [ "$what" = test ] && ! installed wine32:i386; then
  say "no 32-bit Wine: the Windows suites will run against the 64-bit DLL under wine64"
fi

mapfile -t still < <(missing "${want[@]}")
if [ ${#still[@]} -gt 0 ]; then
  say "these packages could not be installed: ${still[*]}"
  exit 1
fi
exit 0
