#!/usr/bin/env bash
# Installs what is missing, builds the trees, runs the native tests and then the Windows tests under Wine
# on a virtual X screen, and ends with one pass/fail line.
#
# The Windows tests run on both builds where the machine runs 32-bit programs natively. Where it runs them
# only through qemu (slowly), the whole suite runs on the 64-bit build, and the 32-bit build shows what only
# it can: its export names and stack layout, the golden report and Cabrillo bytes, and the replay. Where no
# 32-bit program runs, those checks are skipped and the last line says so. ZORVANT_EMULATE_32BIT=1 takes the
# emulated way on a machine that runs 32-bit natively: it registers qemu for the run and removes exactly
# that registration afterwards.
set -uo pipefail
. "$(dirname "$0")/env.sh"

"$root/scripts/setup.sh" || exit 1

registered=()
unregister() {
  if ((${#registered[@]})); then
    "$root/scripts/binfmt.sh" unregister "${registered[@]}"
    echo "setup: removed the qemu registration of this run (${registered[*]})"
    registered=()
  fi
}
trap unregister EXIT
trap 'exit 130' INT TERM HUP
if [ "${ZORVANT_EMULATE_32BIT:-0}" = 1 ]; then
  case "$(machine_32bit)" in
    native)
      mapfile -t registered < <("$root/scripts/binfmt.sh" register force)
      arch32=$("$root/scripts/binfmt.sh" probe)
      if [ "$arch32" != emulated ]; then
        echo "ZORVANT_EMULATE_32BIT=1: could not send 32-bit programs through qemu (needs root and binfmt_misc)"
        exit 1
      fi
      echo "setup: 32-bit programs go through qemu for this run (ZORVANT_EMULATE_32BIT=1)"
      ;;
    emulated) echo "setup: ZORVANT_EMULATE_32BIT=1: 32-bit programs run emulated here anyway" ;;
  esac
fi
case "$(machine_32bit)" in
  native) echo "== 32-bit programs run natively: both Windows suites run whole" ;;
  emulated) echo "== 32-bit programs run only emulated: the whole Windows suite on the 64-bit build, the 32-bit build's own checks emulated" ;;
  none) echo "== no 32-bit program runs here: the 64-bit Windows suite only" ;;
esac
# Emulated programs are slow: waits for windows get longer (they end as soon as what they wait for comes).
[ "$(machine_32bit)" = emulated ] && export ZORVANT_WAIT_SCALE=5

"$root/scripts/build.sh" || { echo "build failed"; exit 1; }

passed=0
failed=0
skipped=0
skip_reason=""
count() {  # adds the counts of a GoogleTest log to the totals
  local log="$1" p f
  p=$(grep -a -c '^\[       OK \]' "$log" || true)
  f=$(grep -a -c '^\[  FAILED  \] .*(' "$log" || true)
  passed=$((passed + p))
  failed=$((failed + f))
}
count_ctest() {  # adds the counts of a CTest log to the totals
  local p
  p=$(sed -n 's/.* tests passed, \([0-9]*\) tests failed out of \([0-9]*\)/\2 \1/p' "$1")
  if [ -n "$p" ]; then
    set -- $p
    passed=$((passed + $1 - $2))
    failed=$((failed + $2))
  fi
}

echo "== native tests"
native_log="$build/native-tests.log"
ctest --test-dir "$build/native" --output-on-failure -j 2 >"$native_log" 2>&1
native_rc=$?
tail -n 3 "$native_log"
count_ctest "$native_log"
[ $native_rc -eq 0 ] || grep -a -E "Failure|FAILED|Expected|Which is" "$native_log" | head -40

wine_ready
# win_suite BITS LABEL [FILTER]: the Windows test program of one build under its own loader.
win_suite() {
  local bits="$1" label="$2" filter="${3:-*}" log="$build/win$1-tests.log" rc
  echo "== Windows tests, $label"
  (cd "$(win_tree "$bits")/bin" &&
    timeout 1800 xvfb-run -a "$(wine_loader "$bits")" win_tests.exe --gtest_filter="$filter") >"$log" 2>&1
  rc=$?
  count "$log"
  grep -a -E '^\[  (PASSED|FAILED) ' "$log" | tail -n 5
  [ $rc -eq 0 ] || grep -a -E "Failure|Expected|Which is|error" "$log" | head -40
  if [ $rc -ne 0 ] && ! grep -a -q '^\[  FAILED  \] .*(' "$log"; then
    echo "the Windows test run ended abnormally (exit code $rc)"
    failed=$((failed + 1))
  fi
}
# replay_check BITS [DLL]: the main job's replay of the bundled log through the stand-in and Stats.dll of one
# build (or DLL); the report it prints and the Cabrillo file it leaves must be the golden ones.
replay_check() {
  local bits="$1" dll="${2:-$(win_tree "$1")/bin/Stats.dll}" station="$build/replay$1" out
  echo "== the bundled log replayed through the $1-bit stand-in and ${2:-Stats.dll}"
  rm -rf "$station"
  mkdir -p "$station/Plugins"
  cp "$(win_tree "$bits")/bin/zorvant_host.exe" "$root/data/sample-contest.adi" "$station/"
  cp "$dll" "$station/Plugins/Stats.dll"
  mapfile -t options <"$root/data/sample-contest.args"
  out=$(cd "$station" && timeout 900 xvfb-run -a "$(wine_loader "$bits")" zorvant_host.exe sample-contest.adi \
    $(stand_in_flags "$bits") "${options[@]}" 2>&1)
  if [[ "$out" == *"$(cat "$root/data/sample-contest.report.txt")"* ]] &&
    cmp -s "$station/UA3XYZ.cbr" "$root/data/sample-contest.cbr"; then
    echo "replay: golden report and Cabrillo file"
    passed=$((passed + 1))
  else
    echo "$out" | tail -n 20
    echo "replay: the report or the Cabrillo file differs from the golden one"
    failed=$((failed + 1))
  fi
}

win_suite 64 "64-bit build (wine64)"
case "$(machine_32bit)" in
  native)
    win_suite 32 "32-bit build"
    replay_check 32
    ;;
  emulated)
    # What only the 32-bit build shows. The rest of the suite ran above on the 64-bit build: under qemu,
    # Wine's own remote calls (the host automation tests) can crash where the plug-in is not at fault.
    win_suite 32 "32-bit build, emulated: export names, stack layout, golden report and Cabrillo bytes, version" \
      'ExportTable.*:ExportsTest.*:*GoldenThroughTheDll.*:ReportThroughExports.*:VersionResource.*'
    replay_check 32
    ;;
  none)
    skip_reason="this machine runs no 32-bit program, and qemu-user could not be registered (needs root and binfmt_misc)"
    skipped=$((skipped + 1))
    echo "== the 32-bit Windows checks are skipped: $skip_reason"
    ;;
esac

# The checks that build the tree other ways, each in its own folder under $build.
jobs="${JOBS:-2}"
echo "== native tests under AddressSanitizer and UndefinedBehaviorSanitizer"
checks="$build/asan"  # also the fuzz targets' tree (scripts/fuzz.sh)
asan_log="$build/asan-tests.log"
if cmake -S "$root" -B "$checks" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
    -DZORVANT_SANITIZE=ON -DZORVANT_FUZZ=ON >/dev/null &&
  cmake --build "$checks" -j "$jobs" --target zorvant_tests zorvant_log_reader_fuzz zorvant_engine_fuzz \
    >"$asan_log" 2>&1; then
  ctest --test-dir "$checks" --output-on-failure -j 2 >"$asan_log" 2>&1
  asan_rc=$?
  tail -n 3 "$asan_log"
  count_ctest "$asan_log"
  [ $asan_rc -eq 0 ] || grep -a -E "ERROR: AddressSanitizer|runtime error|Failure|Expected|Which is" "$asan_log" | head -40
else
  tail -n 30 "$asan_log"
  echo "the sanitizer tree does not build"
  failed=$((failed + 1))
fi

echo "== the host's thread beside the Setup thread, and a log read ahead, under ThreadSanitizer"
tsan_log="$build/tsan-tests.log"
if cmake -S "$root" -B "$build/tsan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZORVANT_TSAN=ON >/dev/null &&
  cmake --build "$build/tsan" -j "$jobs" --target zorvant_thread_tests >"$tsan_log" 2>&1; then
  "$build/tsan/bin/zorvant_thread_tests" >"$tsan_log" 2>&1
  tsan_rc=$?
  grep -a -E '^\[  (PASSED|FAILED) ' "$tsan_log" | tail -n 3
  if [ $tsan_rc -ne 0 ] && ! grep -a -q '^\[  FAILED  \] .*(' "$tsan_log"; then
    # A race fails the run, not the test: count the run as one failure.
    grep -a -A 16 "WARNING: ThreadSanitizer" "$tsan_log" | head -40
    echo "ThreadSanitizer reported a race (exit code $tsan_rc)"
    failed=$((failed + 1))
  else
    count "$tsan_log"
  fi
else
  tail -n 30 "$tsan_log"
  echo "the ThreadSanitizer tree does not build"
  failed=$((failed + 1))
fi

fuzz_seconds="${FUZZ_SECONDS:-30}"
echo "== fuzzing, $fuzz_seconds s per target"
fuzz_log="$build/fuzz-run.log"
"$root/scripts/fuzz.sh" "$fuzz_seconds" >"$fuzz_log" 2>&1
fuzz_rc=$?
grep -a -v '^fuzz .*: clean' "$fuzz_log" | tail -n 20
grep -a '^fuzz .*: clean' "$fuzz_log"
passed=$((passed + $(grep -a -c '^fuzz .*: clean' "$fuzz_log")))
failed=$((failed + $(grep -a -c '^fuzz .*: FAILED' "$fuzz_log")))
if [ $fuzz_rc -ne 0 ] && ! grep -a -q '^fuzz .*: FAILED' "$fuzz_log"; then
  echo "the fuzz run ended abnormally (exit code $fuzz_rc)"
  failed=$((failed + 1))
fi

# ---- The release (scripts/release_check.sh): the zip of scripts/package.sh is the same bytes from two build
# folders and holds what an operator needs; its Stats.dll reads back the project's version under Wine and
# plays the bundled log to the golden report and Cabrillo file.
echo "== the release zip, built twice"
release_work="$build/release-check"
release_log="$build/release-check.log"
"$root/scripts/release_check.sh" "$release_work" >"$release_log" 2>&1
release_rc=$?
grep -a -E '^(release |  )' "$release_log"
passed=$((passed + $(grep -a -c '^release ok: ' "$release_log")))
failed=$((failed + $(grep -a -c '^release FAILED: ' "$release_log")))
if [ $release_rc -ne 0 ] && ! grep -a -q '^release FAILED: ' "$release_log"; then
  tail -n 20 "$release_log"
  echo "the release check ended abnormally (exit code $release_rc)"
  failed=$((failed + 1))
fi
if [ "$(machine_32bit)" = none ]; then
  skip_reason="${skip_reason:-this machine runs no 32-bit program, and qemu-user could not be registered}"
  skipped=$((skipped + 1))
  echo "== the replay through the packaged 32-bit Stats.dll is skipped: this machine runs no 32-bit program"
elif [ -f "$release_work/unpacked/Stats.dll" ]; then
  replay_check 32 "$release_work/unpacked/Stats.dll"
else
  echo "replay: the release zip gave no Stats.dll to replay"
  failed=$((failed + 1))
fi
# ---- end of the release checks

echo
if [ $skipped -gt 0 ]; then
  echo "$passed passed, $failed failed; the 32-bit checks were skipped: $skip_reason"
else
  echo "$passed passed, $failed failed"
fi
[ $native_rc -eq 0 ] && [ $failed -eq 0 ]
