#!/usr/bin/env bash
# Fuzzes the log reader and the whole engine path (the targets in tests/fuzz/: clang's libFuzzer with
# AddressSanitizer and UndefinedBehaviorSanitizer) for SECONDS each, default 600, both at once, seeded with
# data/ and tests/data/. What a run finds new is kept in build/fuzz/corpus/ and seeds the next run; an input
# that fails is saved as build/fuzz/NAME-crash-... (to rerun it: build/asan/bin/zorvant_NAME_fuzz FILE).
# Ends with one line per target, "clean" or "FAILED", and fails when any did.
set -uo pipefail
. "$(dirname "$0")/env.sh"
seconds="${1:-600}"
tree="$build/asan"  # the sanitizer tree of scripts/test.sh
out="$build/fuzz"
names=(log_reader engine)

"$root/scripts/setup.sh" || exit 1
cmake -S "$root" -B "$tree" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
  -DZORVANT_SANITIZE=ON -DZORVANT_FUZZ=ON >/dev/null || exit 1
cmake --build "$tree" -j "${JOBS:-2}" --target zorvant_log_reader_fuzz zorvant_engine_fuzz >"$out.build.log" 2>&1 ||
  { tail -n 30 "$out.build.log"; echo "fuzz: the targets do not build"; exit 1; }

# The engine target writes its files in a folder of its own under TMPDIR: memory is much faster than disk.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
pids=()
for name in "${names[@]}"; do
  mkdir -p "$out/corpus/$name"
  # Inputs up to 4 KB: the seeds' first records, and runs fast enough to go deep.
  "$tree/bin/zorvant_${name}_fuzz" -max_len=4096 -max_total_time="$seconds" -timeout=30 -print_final_stats=1 \
    -artifact_prefix="$out/$name-" "$out/corpus/$name" "$root/data" "$root/tests/data" >"$out/$name.log" 2>&1 &
  pids+=($!)
done

status=0
for i in "${!names[@]}"; do
  name="${names[$i]}"
  if wait "${pids[$i]}"; then
    echo "fuzz $name: clean, $(sed -n 's/^Done \([0-9]*\) runs in \([0-9]*\) second.*/\1 runs in \2 s/p' "$out/$name.log")"
  else
    grep -a -E '^==[0-9]+==ERROR|SUMMARY|deadly signal|Test unit written' "$out/$name.log" | head -n 8
    echo "fuzz $name: FAILED (log: $out/$name.log)"
    status=1
  fi
done
exit $status
