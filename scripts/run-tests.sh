#!/usr/bin/env bash
# Builds and runs every test suite:
#   build/        normal build, all suites (the Ardour scanner and host runs included)
#   build-asan/   AddressSanitizer + UndefinedBehaviorSanitizer, all but the integration tests
#   build-tsan/   ThreadSanitizer, the suites labelled "threads"
#   build-rtsan/  RealtimeSanitizer (clang 22), the suites labelled "rtsan"
#   build-win32/  the 32-bit Windows DLL (mingw-w64), its suite and its editor host under Wine
#                 (on Xvfb), the import and package check, and the Windows/Linux speed ratio
#   build-win64/  the same suites on a 64-bit DLL under wine64, where 32-bit Wine cannot run
#                 (no wine32:i386, or a kernel without 32-bit support)
#   build-release/ a packager's Release build (GCC, -O3), built only
#   build-fuzz/   the libFuzzer harnesses (clang 22), built only
# Warnings are errors in every build here (GW_WERROR=ON; off by default for packagers).
# Installs the Debian packages it needs first. Exits non-zero if anything failed.
set -u
cd "$(dirname "$0")/.."
jobs=${GW_JOBS:-2}
root=${GW_BUILD_ROOT:-.}   # where the build folders go
results=()
failed=0
started=$(date +%s)
for d in build build-asan build-tsan build-rtsan build-win32 build-win64 build-release; do
  rm -f "$root/$d/Testing/Temporary/LastTestsFailed.log"
done

record() {  # record NAME STATUS
  if [ "$2" = 0 ]; then results+=("ok      $1"); else results+=("FAILED  $1"); failed=1; fi
}

# A stage that ran but left something out is neither ok nor failed: the summary names what
# was skipped and why.
record_skipped() {  # record_skipped NAME REASON
  results+=("SKIPPED $1: $2")
}

stage_started=$(date +%s)
stage_time() {  # the seconds since the stage began
  echo "$(( $(date +%s) - stage_started )) s"
}

run() {  # run NAME COMMAND...
  local name=$1; shift
  echo; echo "=== $name"
  stage_started=$(date +%s)
  "$@"
  local rc=$?
  record "$name ($(stage_time))" "$rc"
}

configure_and_build() {  # DIR [CMAKE ARGS...] -- [TARGETS...]
  local dir=$1; shift
  local args=() targets=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do args+=("$1"); shift; done
  [ $# -gt 0 ] && shift
  targets=("$@")
  # -k 0: one broken target does not keep the others' suites from being built.
  # Line tables only (-g1): sanitizer reports and debuggers still name files and lines,
  # and the debug information, most of a sanitizer build's compile time, shrinks by half.
  # The code generated is the same as with -g.
  cmake -S . -B "$dir" -G Ninja -DGW_WERROR=ON "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" \
        "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" "${args[@]}" >/dev/null &&
    ninja -C "$dir" -j"$jobs" -k 0 "${targets[@]}"
}

ctest_in() {  # DIR [CTEST ARGS...]; prints ctest's own summary
  local dir=$1; shift
  ctest --test-dir "$dir" -j"$jobs" --output-on-failure --timeout 900 "$@" | tee "$dir/ctest-output.log"
  return "${PIPESTATUS[0]}"
}

# skipped_tests DIR: "NAME: REASON" for each test of the last ctest run in DIR that was
# skipped, the reason being the last line the test printed.
skipped_tests() {
  local dir=$1
  [ -f "$dir/ctest-output.log" ] || return 0
  sed -n 's/^[[:space:]]*[0-9]* - \(.*\) (Skipped)$/\1/p' "$dir/ctest-output.log" | while read -r name; do
    reason=$(awk -v t="$name" '
      $0 ~ "^[0-9]+/[0-9]+ Testing: " { cur = $3; out = 0; next }
      cur == t && $0 == "Output:" { out = 1; getline; next }
      cur == t && out && $0 == "<end of output>" { out = 0; next }
      cur == t && out && NF { last = $0 }
      END { print last }' "$dir/Testing/Temporary/LastTest.log" 2>/dev/null)
    echo "$name: ${reason:-no reason given}"
  done
}

# run_tests NAME DIR [CTEST ARGS...]: a ctest stage; a run with skipped tests is reported
# as such, each with its reason.
run_tests() {
  local name=$1 dir=$2; shift 2
  echo; echo "=== $name"
  rm -f "$dir/ctest-output.log"
  stage_started=$(date +%s)
  ctest_in "$dir" "$@"
  local rc=$?
  name="$name ($(stage_time))"
  local skipped
  skipped=$(skipped_tests "$dir")
  if [ "$rc" = 0 ] && [ -n "$skipped" ]; then
    record_skipped "$name" "$(echo "$skipped" | wc -l) test(s) did not run"
    while IFS= read -r line; do results+=("          $line"); done <<< "$skipped"
  else
    record "$name" "$rc"
  fi
}

run "install Debian packages" ./scripts/install-deps.sh test || true

# Normal build: every suite.
run "build" configure_and_build "$root/build" -DGW_BENCH=ON
run_tests "tests (build)" "$root/build"
# The benchmarks print ratios against references measured in the same run; a short run
# here shows they work (figures worth quoting come from a longer run on a quiet machine).
# The benchmarks and the validator close effects that hold unsaved audio: they run with a
# home and data folders of their own, as every CTest test does.
scratch_home=$(mktemp -d)
in_scratch_home() {
  env HOME="$scratch_home" XDG_DATA_HOME="$scratch_home/data" XDG_CONFIG_HOME="$scratch_home/config" \
      XDG_CACHE_HOME="$scratch_home/cache" "$@"
}
run "benchmarks (short run)" in_scratch_home sh -c "'$root/build/bench/gw_bench' --benchmark_min_time=0.05 && \
  '$root/build/bench/gw_bench_process' --benchmark_min_time=0.05 && \
  '$root/build/bench/gw_bench_editor' --benchmark_min_time=0.05"
# The validator's full run (strictness 10) on grainwheel, the editor under a virtual
# display; CTest runs it at strictness 5 in every build.
run "validator (strictness 10)" in_scratch_home tests/support/with-xvfb.sh \
  "$root/build/tools/grainwheel-host" validate "$root/build/plugin/grainwheel.so" --strictness 10

# What a packager runs: a plain Release build (GCC at -O3 warns where -O2 does not), of
# what a package ships (the plug-in modules; the tools are built and warned about above).
run "build (Release)" configure_and_build "$root/build-release" -DCMAKE_BUILD_TYPE=Release -DGW_TESTS=OFF \
  -- gw_modules

# AddressSanitizer + UndefinedBehaviorSanitizer. A real host cannot load a sanitized
# plug-in, so the integration tests are left to the normal build.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# At -O1 (as the sanitizers' own documentation advises): a third less compile time than
# -O2, with the same reports. The suites' own code at -O0: instrumented, it compiles in half
# the time, and it is checked the same (nothing it does is optimised away).
run "build (ASan+UBSan)" configure_and_build "$root/build-asan" -DGW_SANITIZE=ON \
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG" "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG" \
  -DGW_SUITE_CODE_FLAGS=-O0
run_tests "tests (ASan+UBSan)" "$root/build-asan" -LE integration

# ThreadSanitizer: only the suites labelled "threads" are built and run.
export TSAN_OPTIONS=halt_on_error=1
if cmake -S . -B "$root/build-tsan" -G Ninja -DGW_TSAN=ON -DGW_WERROR=ON "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" \
         "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" >/dev/null; then
  # The suites labelled threads that are programs of their own (the fixture tests that
  # come with every suite are scripts).
  tsan_tests=$(ctest --test-dir "$root/build-tsan" -N -L threads | awk '/Test +#/{print $3}' |
               while read -r t; do ninja -C "$root/build-tsan" -t query "$t" >/dev/null 2>&1 && echo "$t"; done)
  if [ -n "$tsan_tests" ]; then
    # shellcheck disable=SC2086
    run "build (TSan)" ninja -C "$root/build-tsan" -j"$jobs" -k 0 $tsan_tests
    run_tests "tests (TSan)" "$root/build-tsan" -L threads
  else
    echo "no suites labelled threads"
  fi
else
  record "configure (TSan)" 1
fi
unset TSAN_OPTIONS ASAN_OPTIONS UBSAN_OPTIONS

# RealtimeSanitizer (clang 22): the process callbacks are marked nonblocking; long renders
# with morphs, recordings and scope spectra must not allocate, lock or call the system.
export RTSAN_OPTIONS=halt_on_error=1
run "build (RTSan)" env CC=clang-22 CXX=clang++-22 \
  bash -c "cmake -S . -B '$root/build-rtsan' -G Ninja -DGW_RTSAN=ON -DGW_DESKTOP=OFF -DGW_WERROR=ON >/dev/null && \
           ninja -C '$root/build-rtsan' -j$jobs loop_rtsan_test vst3_rtsan_test clap_rtsan_test"
run_tests "tests (RTSan)" "$root/build-rtsan" -L rtsan
unset RTSAN_OPTIONS

# The libFuzzer harnesses of the file readers (clang): built, so that they keep up with the
# readers; their seed corpora are replayed by the normal and sanitizer builds' suites.
run "build (fuzz harnesses, clang)" env CC=clang-22 CXX=clang++-22 \
  bash -c "cmake -S . -B '$root/build-fuzz' -G Ninja -DGW_FUZZ=ON -DGW_DESKTOP=OFF -DGW_TESTS=OFF -DGW_WERROR=ON >/dev/null && \
           ninja -C '$root/build-fuzz' -j$jobs bank_reader_fuzzer bank_options_fuzzer wave_reader_fuzzer host_chunk_fuzzer recent_list_fuzzer png_decode_fuzzer vst3_state_fuzzer clap_state_fuzzer"

# The Windows DLLs. 32-bit Wine needs the kernel's 32-bit support and Debian's wine32:i386,
# which a mirror in the middle of a sync can keep out (scripts/install-deps.sh): where either
# is missing, the 32-bit DLL is built and its exports and imports checked, its Wine suites
# are reported as skipped, and the same suites run against a 64-bit build under wine64.
win32_wine_reason=
if [ ! -x /usr/lib/wine/wine ]; then
  win32_wine_reason="32-bit Wine (wine32:i386) is not installed"
elif [ -e /lib/ld-linux.so.2 ] && ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  win32_wine_reason="this kernel cannot run 32-bit programs"
fi
# The editor host compares the Windows panel with the headless rendering of the Linux build.
panel_snapshot() {  # panel_snapshot WINDOWS_BUILD
  "$root/build/tools/grainwheel-host" editor "$root/build/plugin/grainwheel-inspectable.so" --silence \
    --snapshot "$1/panel_reference.png" >/dev/null
}
if [ -z "$win32_wine_reason" ]; then
  run "build (Windows, mingw-w64 i686)" configure_and_build "$root/build-win32" \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
  run "panel snapshot for the Windows comparison" panel_snapshot "$root/build-win32"
else
  # Only what runs here: the DLL (its export and import checks) and the benchmark program.
  run "build (Windows, mingw-w64 i686: the DLL only)" configure_and_build "$root/build-win32" \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -- grainwheel win32_entry_bench win32_voices_bench
fi
run_tests "tests (Windows under Wine)" "$root/build-win32"
if [ -n "$win32_wine_reason" ]; then
  run "build (Windows, mingw-w64 x86_64)" configure_and_build "$root/build-win64" \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake
  run "panel snapshot for the 64-bit Windows comparison" panel_snapshot "$root/build-win64"
  run_tests "tests (64-bit Windows under Wine, in place of 32-bit: $win32_wine_reason)" "$root/build-win64"
elif command -v wine64 >/dev/null || [ -x /usr/lib/wine/wine64 ]; then
  # The 64-bit DLL's speed is measured beside the 32-bit one's.
  # The VST 3 bundle and the CLAP module are 64-bit only: their suites run under wine64 here too.
  run "build (Windows, mingw-w64 x86_64: the DLL, the VST 3 bundle, the CLAP module, their suites, the benchmarks)" \
    configure_and_build "$root/build-win64" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -- \
    grainwheel grainwheel_vst3 vst3_plugin_test vst3_win_view_test grainwheel_clap clap_plugin_test \
    win32_entry_bench win32_voices_bench
  run_tests "tests (VST 3 bundle and CLAP module, 64-bit Windows under Wine)" "$root/build-win64" -L "vst3|clap"
fi
# The Windows DLL's speed against the Linux plug-in of this commit, through the entry points.
win64_tree=
[ -d "$root/build-win64/plugin" ] && win64_tree=$root/build-win64
run "benchmark (Windows/Linux speed ratio)" in_scratch_home bench/windows_ratio.sh "$root/build" "$root/build-win32" "$win64_tree" 30
rm -rf "$scratch_home"

elapsed=$(( $(date +%s) - started ))
echo
echo "================ summary ($((elapsed / 60)) min $((elapsed % 60)) s)"
for r in "${results[@]}"; do echo "$r"; done
for d in "$root/build" "$root/build-asan" "$root/build-tsan" "$root/build-rtsan" "$root/build-win32" "$root/build-win64" "$root/build-release"; do
  log=$d/Testing/Temporary/LastTestsFailed.log
  if [ -s "$log" ]; then echo "failed in $d:"; sed 's/^/    /' "$log"; fi
done
if [ $failed = 0 ]; then echo "ALL PASSED (skipped steps and tests, if any, are named above)"; else echo "SOME STEPS FAILED"; fi
exit $failed
