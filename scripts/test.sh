#!/usr/bin/env bash
# Installs what is missing, builds the trees, runs the native tests and then the Windows tests under Wine
# on a virtual X screen, and ends with one pass/fail line.
#
# The Windows tests run whole on both builds wherever the machine runs 32-bit programs, natively or through
# qemu-user (scripts/binfmt.sh): the 32-bit one, the product, and the 64-bit one. Where no 32-bit program
# runs, the 32-bit checks are skipped and the last line says so. ZORVANT_EMULATE_32BIT=1 takes the emulated
# way on a machine that runs 32-bit natively: it registers qemu for the run and removes exactly that
# registration afterwards, or, if the run is killed outright, the next probe does.
set -uo pipefail
. "$(dirname "$0")/env.sh"

# Each long step runs in a process group of its own, waited for, so that a signal is acted on at once: the
# step is stopped and the run ends through its EXIT trap, which removes what it registered.
set -m
child=""
step() {
  "$@" </dev/null &
  child=$!
  wait "$child"
  local rc=$?
  child=""
  return $rc
}
registered=()
unregister() {
  if ((${#registered[@]})); then
    "$root/scripts/binfmt.sh" unregister "${registered[@]}"
    echo "setup: removed the qemu registration of this run (${registered[*]})"
    registered=()
  fi
}
on_signal() {
  [ -z "$child" ] || kill -TERM -- "-$child" 2>/dev/null
  exit "$1"
}
trap unregister EXIT
trap 'on_signal 130' INT
trap 'on_signal 143' TERM
trap 'on_signal 129' HUP

step "$root/scripts/setup.sh" || exit 1

if [ "${ZORVANT_EMULATE_32BIT:-0}" = 1 ]; then
  case "$(machine_32bit)" in
    native)
      mapfile -t registered < <("$root/scripts/binfmt.sh" register force --owner $$)
      arch32=$("$root/scripts/binfmt.sh" probe)
      if [ "$arch32" != emulated ]; then
        echo "ZORVANT_EMULATE_32BIT=1: could not send 32-bit programs through qemu (needs root and binfmt_misc)"
        exit 1
      fi
      echo "setup: 32-bit programs go through qemu for this run (ZORVANT_EMULATE_32BIT=1): $("$root/scripts/binfmt.sh" current)"
      ;;
    emulated) echo "setup: ZORVANT_EMULATE_32BIT=1: 32-bit programs run emulated here anyway" ;;
  esac
fi
case "$(machine_32bit)" in
  native) echo "== 32-bit programs run natively: both Windows suites run whole" ;;
  emulated) echo "== 32-bit programs run emulated (qemu-user): both Windows suites run whole" ;;
  none) echo "== no 32-bit program runs here: the 64-bit Windows suite only" ;;
esac
# Emulated programs start more slowly: waits for windows may take longer (each ends as soon as what it
# waits for comes).
[ "$(machine_32bit)" = emulated ] && export ZORVANT_WAIT_SCALE=5

step "$root/scripts/build.sh" || { echo "build failed"; exit 1; }

passed=0
failed=0
skipped=0
skip_reason=""
# counted LOG RC WHAT OK FAILED: adds LOG's lines that match OK and FAILED (extended regular expressions) to
# the totals. A run that failed (RC) without a FAILED line of its own ended abnormally: one failure more.
counted() {
  local log="$1" rc="$2" what="$3" ok="$4" bad="$5"
  passed=$((passed + $(grep -a -c -E "$ok" "$log")))
  failed=$((failed + $(grep -a -c -E "$bad" "$log")))
  if [ "$rc" -ne 0 ] && ! grep -a -q -E "$bad" "$log"; then
    tail -n 20 "$log"
    echo "the $what ended abnormally (exit code $rc)"
    failed=$((failed + 1))
  fi
}
count_gtest() {  # LOG RC WHAT: counted, for a GoogleTest log
  counted "$1" "$2" "$3" '^\[       OK \]' '^\[  FAILED  \] .*\('
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
step ctest --test-dir "$build/native" --output-on-failure -j 2 >"$native_log" 2>&1
native_rc=$?
tail -n 3 "$native_log"
count_ctest "$native_log"
[ $native_rc -eq 0 ] || grep -a -E "Failure|FAILED|Expected|Which is" "$native_log" | head -40

step wine_ready
run_in() { cd "$1" && shift && "$@"; }  # DIR COMMAND...: in a subshell of its own when run by step
# win_suite BITS LABEL [FILTER]: the Windows test program of one build under its own loader.
win_suite() {
  local bits="$1" label="$2" filter="${3:-*}" log="$build/win$1-tests.log" rc
  echo "== Windows tests, $label"
  step run_in "$(win_tree "$bits")/bin" timeout 1800 xvfb-run -a "$(wine_loader "$bits")" win_tests.exe \
    --gtest_filter="$filter" >"$log" 2>&1
  rc=$?
  grep -a -E '^\[  (PASSED|FAILED) ' "$log" | tail -n 5
  [ $rc -eq 0 ] || grep -a -E "Failure|Expected|Which is|error" "$log" | head -40
  count_gtest "$log" $rc "Windows test run"
}
# framed BMP: true when the picture's outer two pixels all round are mostly not pure black, as a window
# drawn with its frame is; a window pictured where nobody drew its frame is black there.
framed() {
  od -An -v -tu1 "$1" | awk '
    { for (i = 1; i <= NF; i++) b[n++] = $i }
    END {
      off = b[10] + 256 * b[11] + 65536 * b[12]; w = b[18] + 256 * b[19]; h = b[22] + 256 * b[23]
      stride = int((w * 3 + 3) / 4) * 4
      for (y = 0; y < h; y++) for (x = 0; x < w; x++) {
        if (x > 1 && x < w - 2 && y > 1 && y < h - 2) continue
        p = off + y * stride + x * 3; total++
        if (b[p] + b[p + 1] + b[p + 2] == 0) black++
      }
      exit !(total > 0 && black * 2 < total)
    }'
}
# replay_check BITS [DLL]: the main job's replay of the bundled log through the stand-in and Stats.dll of one
# build (or DLL), with the Setup and information windows open: the report it prints and the Cabrillo file
# it leaves must be the golden ones, the plug-in must have reached the stand-in's automation object, and
# the windows' pictures must show their frames.
replay_check() {
  local bits="$1" dll="${2:-$(win_tree "$1")/bin/Stats.dll}" station="$build/replay$1" out problems=() picture
  echo "== the bundled log replayed through the $1-bit stand-in and ${2:-Stats.dll}"
  rm -rf "$station"
  mkdir -p "$station/Plugins" "$station/pictures"
  cp "$(win_tree "$bits")/bin/zorvant_host.exe" "$root/data/sample-contest.adi" "$station/"
  cp "$dll" "$station/Plugins/Stats.dll"
  printf '[Settings]\r\nStart=0\r\nsetup_view_pref=1\r\nsetup_view_prev_qso=1\r\nsetup_x=10\r\nsetup_y=10\r\nprev_x=300\r\nprev_y=10\r\ndxcc_x=10\r\ndxcc_y=260\r\n' \
    >"$station/Plugins/ZORVANT.ini"
  mapfile -t options <"$root/data/sample-contest.args"
  step run_in "$station" timeout 900 xvfb-run -a -s "-screen 0 1024x768x24" \
    bash -c '"$@"; rc=$?; wineserver -w; exit $rc' _ "$(wine_loader "$bits")" zorvant_host.exe sample-contest.adi \
    "${options[@]}" --pictures 'Z:'"${station//\//\\}"'\pictures' >"$station.out" 2>&1
  out=$(cat "$station.out")
  [[ "$out" == *"$(cat "$root/data/sample-contest.report.txt")"* ]] || problems+=("the report differs from the golden one")
  cmp -s "$station/UA3XYZ.cbr" "$root/data/sample-contest.cbr" || problems+=("the Cabrillo file differs from the golden one")
  [[ "$out" == *"automation attached by the plug-in"* ]] || problems+=("the plug-in never reached the automation object")
  for picture in setup prefix previous-qso; do
    if [ ! -f "$station/pictures/$picture.bmp" ]; then
      problems+=("no picture of the $picture window")
    elif ! framed "$station/pictures/$picture.bmp"; then
      problems+=("the $picture window is pictured without its frame")
    fi
  done
  if ((${#problems[@]} == 0)); then
    echo "replay: golden report and Cabrillo file, automation reached, the three windows pictured with their frames"
    passed=$((passed + 1))
  else
    echo "$out" | tail -n 20
    printf 'replay: %s\n' "${problems[@]}"
    failed=$((failed + 1))
  fi
}

win_suite 64 "64-bit build (wine64)"
case "$(machine_32bit)" in
  native | emulated)
    win_suite 32 "32-bit build$([ "$(machine_32bit)" = emulated ] && echo ", emulated")"
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
  step cmake --build "$checks" -j "$jobs" --target zorvant_tests zorvant_log_reader_fuzz zorvant_engine_fuzz \
    >"$asan_log" 2>&1; then
  step ctest --test-dir "$checks" --output-on-failure -j 2 >"$asan_log" 2>&1
  asan_rc=$?
  tail -n 3 "$asan_log"
  count_ctest "$asan_log"
  [ $asan_rc -eq 0 ] || grep -a -E "ERROR: AddressSanitizer|runtime error|Failure|Expected|Which is" "$asan_log" | head -40
else
  tail -n 30 "$asan_log"
  echo "the sanitizer tree does not build"
  failed=$((failed + 1))
fi

echo "== threads under ThreadSanitizer: the host's and the Setup thread, a log read ahead, zorvant check's readers and writers, the robot's handlers"
tsan_log="$build/tsan-tests.log"
# tsan_run LOG PROGRAM [ARGS...]: one test program of the ThreadSanitizer tree, counted.
tsan_run() {
  local log="$1" rc
  shift
  step "$@" >"$log" 2>&1
  rc=$?
  grep -a -E '^\[  (PASSED|FAILED) ' "$log" | tail -n 3
  if [ $rc -ne 0 ] && ! grep -a -q '^\[  FAILED  \] .*(' "$log"; then
    # A race fails the run, not the test: count the run as one failure.
    grep -a -A 16 "WARNING: ThreadSanitizer" "$log" | head -40
    echo "ThreadSanitizer reported a race in $(basename "$1") (exit code $rc)"
    failed=$((failed + 1))
  else
    [ $rc -eq 0 ] || grep -a -A 16 "WARNING: ThreadSanitizer" "$log" | head -40
    count_gtest "$log" $rc "ThreadSanitizer run of $(basename "$1")"
  fi
}
tsan_targets=(zorvant_thread_tests)
# The robot is built where its libraries are (cmake/serve.cmake).
[ -x "$build/native/bin/zorvant_serve_tests" ] && tsan_targets+=(zorvant_serve_tests)
if cmake -S "$root" -B "$build/tsan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZORVANT_TSAN=ON >/dev/null &&
  step cmake --build "$build/tsan" -j "$jobs" --target "${tsan_targets[@]}" >"$tsan_log" 2>&1; then
  tsan_run "$tsan_log" "$build/tsan/bin/zorvant_thread_tests"
  if [ -x "$build/tsan/bin/zorvant_serve_tests" ]; then
    # The robot's in-process tests, whose handlers run on the server's worker threads; not the crash test,
    # which kills a whole zorvant serve process.
    tsan_run "$build/tsan-serve-tests.log" "$build/tsan/bin/zorvant_serve_tests" --gtest_filter='RobotTest.*:StoreTest.*'
  fi
else
  tail -n 30 "$tsan_log"
  echo "the ThreadSanitizer tree does not build"
  failed=$((failed + 1))
fi

# ---- The log robot in a real browser (tests/serve/browser_test.py): zorvant serve on a free port of the
# loopback, Debian's chromium headless through chromium-driver and python3-selenium, each step counted.
echo "== the log robot, zorvant serve, in a browser"
browser_log="$build/browser-test.log"
if "$build/native/bin/zorvant" serve --help >/dev/null 2>&1; then
  step timeout 600 /usr/bin/python3 "$root/tests/serve/browser_test.py" --zorvant "$build/native/bin/zorvant" \
    >"$browser_log" 2>&1
  browser_rc=$?
  grep -a -E '^browser (ok|FAILED)' "$browser_log"
  counted "$browser_log" $browser_rc "browser test" '^browser ok: ' '^browser FAILED: '
else
  echo "zorvant serve was not built (cmake found no libcpp-httplib-dev or libsqlite3-dev): no browser test"
  failed=$((failed + 1))
fi
# ---- end of the log robot's browser test

fuzz_seconds="${FUZZ_SECONDS:-30}"
echo "== fuzzing, $fuzz_seconds s per target"
fuzz_log="$build/fuzz-run.log"
step "$root/scripts/fuzz.sh" "$fuzz_seconds" >"$fuzz_log" 2>&1
fuzz_rc=$?
grep -a -v '^fuzz .*: clean' "$fuzz_log" | tail -n 20
grep -a '^fuzz .*: clean' "$fuzz_log"
counted "$fuzz_log" $fuzz_rc "fuzz run" '^fuzz .*: clean' '^fuzz .*: FAILED'

# ---- The release (scripts/release_check.sh): the zip of scripts/package.sh is the same bytes from two build
# folders and holds what an operator needs; its Stats.dll reads back the project's version under Wine and
# plays the bundled log to the golden report and Cabrillo file.
echo "== the release zip, built twice"
release_work="$build/release-check"
release_log="$build/release-check.log"
step "$root/scripts/release_check.sh" "$release_work" >"$release_log" 2>&1
release_rc=$?
grep -a -E '^(release |  )' "$release_log"
counted "$release_log" $release_rc "release check" '^release ok: ' '^release FAILED: '
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

# ---- zorvant.exe: the CLI tests of scores, exit codes and report bytes once more, against the zip's
# zorvant.exe under Wine (the 64-bit build's where no 32-bit program runs), its files against the native
# command's byte for byte (tests/cli/zorvant_exe.h); with folders named in Cyrillic, under the Russian and
# the Western code page (tests/cli/file_names_test.cpp).
if [ "$(machine_32bit)" = none ]; then
  exe="$(win_tree 64)/bin/zorvant.exe"
  echo "== the CLI tests against the 64-bit zorvant.exe under Wine (this machine runs no 32-bit program)"
else
  exe="$release_work/unpacked/zorvant.exe"
  echo "== the CLI tests against the zip's zorvant.exe under Wine"
fi
exe_log="$build/zorvant-exe-tests.log"
if [ -f "$exe" ]; then
  step env ZORVANT_EXE="$(wine_loader "$(product_bits)") $exe" timeout 3600 "$build/native/bin/zorvant_tests" \
    --gtest_filter='ScoreTest.*:CheckCommandTest.*:OtherBuildTest.*:FileNamesTest.*' >"$exe_log" 2>&1
  exe_rc=$?
  grep -a -E '^\[  (PASSED|FAILED) ' "$exe_log" | tail -n 5
  [ $exe_rc -eq 0 ] || grep -a -E "Failure|Expected|Which is|differs|missing" "$exe_log" | head -40
  count_gtest "$exe_log" $exe_rc "CLI tests against zorvant.exe"
else
  echo "no $exe to run the CLI tests against"
  failed=$((failed + 1))
fi
# ---- end of zorvant.exe

echo
if [ $skipped -gt 0 ]; then
  echo "$passed passed, $failed failed; the 32-bit checks were skipped: $skip_reason"
else
  echo "$passed passed, $failed failed"
fi
[ $native_rc -eq 0 ] && [ $failed -eq 0 ]
