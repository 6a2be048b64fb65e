#!/usr/bin/env bash
# Installs what is missing, builds both trees, runs the native tests and then the Windows tests under Wine
# on a virtual X screen, and ends with one pass/fail line.
set -uo pipefail
. "$(dirname "$0")/env.sh"

"$root/scripts/setup.sh" || exit 1
"$root/scripts/build.sh" || { echo "build failed"; exit 1; }

passed=0
failed=0
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

echo "== Windows tests (Wine)"
wine_ready
win_log="$build/win-tests.log"
(cd "$build/win32/bin" && timeout 1200 xvfb-run -a wine win_tests.exe) >"$win_log" 2>&1
win_rc=$?
count "$win_log"
grep -a -E '^\[  (PASSED|FAILED) ' "$win_log" | tail -n 5
[ $win_rc -eq 0 ] || grep -a -E "Failure|Expected|Which is|error" "$win_log" | head -40
if [ $win_rc -ne 0 ] && ! grep -a -q '^\[  FAILED  \] .*(' "$win_log"; then
  echo "the Windows test run ended abnormally (exit code $win_rc)"
  failed=$((failed + 1))
fi

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

echo
echo "$passed passed, $failed failed"
[ $native_rc -eq 0 ] && [ $win_rc -eq 0 ] && [ $failed -eq 0 ]
