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

echo "== native tests"
native_log="$build/native-tests.log"
ctest --test-dir "$build/native" --output-on-failure -j 2 >"$native_log" 2>&1
native_rc=$?
tail -n 3 "$native_log"
p=$(sed -n 's/.* tests passed, \([0-9]*\) tests failed out of \([0-9]*\)/\2 \1/p' "$native_log")
if [ -n "$p" ]; then
  set -- $p
  passed=$((passed + $1 - $2))
  failed=$((failed + $2))
fi
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

echo
echo "$passed passed, $failed failed"
[ $native_rc -eq 0 ] && [ $win_rc -eq 0 ] && [ $failed -eq 0 ]
