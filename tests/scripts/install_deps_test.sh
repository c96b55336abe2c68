#!/usr/bin/env bash
# scripts/install-deps.sh against a scripted apt: an update that exits 100 as on a mirror in
# the middle of a sync, a 32-bit package that cannot be had, and a needed package that
# cannot be had. Nothing on the machine is installed or changed: apt-get, dpkg and
# dpkg-query are stand-ins that keep the "installed" list in a scratch folder.
set -u
script=$(cd "$(dirname "$0")/../.." && pwd)/scripts/install-deps.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0; failed=0
check() {  # check DESCRIPTION COMMAND...
  if "${@:2}"; then passed=$((passed + 1)); else echo "FAILED: $1"; failed=$((failed + 1)); fi
}

mkdir -p "$work/bin"
cat > "$work/bin/dpkg-query" <<'STUB'
#!/bin/sh
# dpkg-query -W -f=FORMAT PKG
for p; do :; done
grep -qx "$p" "$FAKE_STATE/installed" && printf 'install ok installed' && exit 0
exit 1
STUB
cat > "$work/bin/dpkg" <<'STUB'
#!/bin/sh
case $1 in
  --print-foreign-architectures) cat "$FAKE_STATE/arches" 2>/dev/null ;;
  --add-architecture) echo "$2" >> "$FAKE_STATE/arches" ;;
esac
STUB
cat > "$work/bin/apt-get" <<'STUB'
#!/bin/sh
echo "apt-get $*" >> "$FAKE_STATE/log"
echo "frontend=${DEBIAN_FRONTEND:-}" >> "$FAKE_STATE/frontends"
for a; do
  case $a in
    update)
      echo "E: Failed to fetch .../binary-i386/Packages.xz  File has unexpected size. Mirror sync in progress?" >&2
      exit 100 ;;
    install) mode=install ;;
  esac
done
[ "${mode:-}" = install ] || exit 0
pkgs=
for a; do
  case $a in -*|install) ;; *) pkgs="$pkgs $a" ;; esac
done
for p in $pkgs; do
  if grep -qx "$p" "$FAKE_STATE/unavailable"; then
    echo "E: Unable to locate package $p" >&2; exit 100
  fi
done
for p in $pkgs; do echo "$p" >> "$FAKE_STATE/installed"; done
STUB
chmod +x "$work/bin/"*

run_case() {  # run_case NAME UNAVAILABLE...: runs the script, output in $work/NAME.out
  local name=$1; shift
  export FAKE_STATE=$work/$name
  mkdir -p "$FAKE_STATE"
  : > "$FAKE_STATE/installed"; : > "$FAKE_STATE/arches"
  printf '%s\n' "$@" > "$FAKE_STATE/unavailable"
  PATH="$work/bin:$PATH" GW_APT_RETRY_PAUSE=0 env -u DEBIAN_FRONTEND bash "$script" test > "$work/$name.out" 2>&1
  echo $? > "$work/$name.rc"
}

# The mirror is mid-sync and wine32:i386 cannot be had: everything else is installed, the
# update was tried three times, and the run goes on with 64-bit Wine.
run_case midsync wine32:i386
check "mid-sync: exits 0" grep -qx 0 "$work/midsync.rc"
check "mid-sync: update tried three times" test "$(grep -c 'apt-get.* update' "$work/midsync/log")" -ge 3
check "mid-sync: clang-22 installed" grep -qx clang-22 "$work/midsync/installed"
check "mid-sync: wine64 installed" grep -qx wine64 "$work/midsync/installed"
check "mid-sync: i386 architecture added" grep -qx i386 "$work/midsync/arches"
check "mid-sync: says the 64-bit DLL takes over" grep -q "64-bit DLL under wine64" "$work/midsync.out"
check "mid-sync: the LV2 host test tools installed" \
  bash -c "for p in lv2-dev liblilv-dev sordi lilv-utils jalv jackd2; do grep -qx \$p '$work/midsync/installed' || exit 1; done"
check "mid-sync: apt-get never asks (noninteractive on every call)" \
  bash -c "test -s '$work/midsync/frontends' && ! grep -qvx frontend=noninteractive '$work/midsync/frontends'"
check "mid-sync: wine32 not installed" bash -c "! grep -qx wine32:i386 '$work/midsync/installed'"

# A package the run needs cannot be installed: the others still are, and the script fails
# naming it.
run_case needed clang-22
check "needed: exits non-zero" bash -c "! grep -qx 0 '$work/needed.rc'"
check "needed: names the package" grep -q "could not be installed: clang-22" "$work/needed.out"
check "needed: the others are installed" grep -qx libfftw3-dev "$work/needed/installed"
check "needed: the benchmarks' references installed" \
  bash -c "for p in libfftw3-dev libsoxr-dev; do grep -qx \$p '$work/needed/installed' || exit 1; done"

# Everything already there: no apt call at all.
export FAKE_STATE=$work/done
mkdir -p "$FAKE_STATE"; : > "$FAKE_STATE/arches"; : > "$FAKE_STATE/unavailable"
cp "$work/midsync/installed" "$FAKE_STATE/installed"; echo wine32:i386 >> "$FAKE_STATE/installed"
PATH="$work/bin:$PATH" bash "$script" test > "$work/done.out" 2>&1
check "all there: exits 0" test $? = 0
check "all there: apt not called" test ! -e "$FAKE_STATE/log"

if [ $failed != 0 ]; then cat "$work"/*.out; fi
echo "$passed passed, $failed failed"
[ $failed = 0 ]
