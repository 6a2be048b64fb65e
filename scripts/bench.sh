#!/usr/bin/env bash
# Runs every benchmark and prints one table: reading and scoring logs of 1 000, 100 000 and 1 000 000
# contacts (bench/make_log.py writes them once), the engine's memory a contact, the call check, the report
# and RemoveData0 at 1 000 and 100 000, and the same rescan through Stats.dll under Wine. Each figure comes
# with its ratio to the smallest size. Then a second table: `zorvant check` of a contest of 2 000 logs and
# 1 000 000 contacts (bench/make_contest.py writes it once), beside `zorvant score` of the same contacts, and
# of a world-size contest of 10 000 logs and 5 000 000 contacts.
# Build trees, logs and results go under the build folder (env.sh).
#
# usage: scripts/bench.sh [check | serve | settings [ROUNDS]]   (one table alone)
set -euo pipefail
. "$(dirname "$0")/env.sh"
jobs="${JOBS:-2}"
only="${1:-}"

"$root/scripts/setup.sh"
# The log generator and the table are Python; `zorvant score` is timed by GNU time.
missing=()
command -v python3 >/dev/null || missing+=(python3)
[ -x /usr/bin/time ] || missing+=(time)
if ((${#missing[@]})); then
  echo "bench: installing ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

logs="$build/bench-logs"
results="$build/bench-results"
mkdir -p "$logs" "$results"
rm -f "$results"/*

# contest FOLDER STATIONS CONTACTS [MERGED]: bench/make_contest.py's contest in FOLDER (logs/, truth.tsv,
# and MERGED when given), written once: 5 % of the stations send no log, so their partners log a little
# over CONTACTS * 0.95 contacts.
contest() {
  local folder=$1 stations=$2 contacts=$3 merged=${4:-}
  if [ ! -f "$folder/truth.tsv" ] || [ "$root/bench/make_contest.py" -nt "$folder/truth.tsv" ] ||
    { [ -n "$merged" ] && [ ! -f "$folder/$merged" ]; }; then
    echo "bench: writing a contest of $stations stations and about $contacts contacts (a few minutes a million)"
    rm -rf "$folder"
    python3 "$root/bench/make_contest.py" "$stations" "$folder/logs" --contacts "$contacts" \
      ${merged:+--merged "$folder/$merged"} --truth "$folder/truth.tsv.part" &&
      mv "$folder/truth.tsv.part" "$folder/truth.tsv"
  fi
}

# TAG COMMAND...: runs COMMAND in $run and adds "TAG SECONDS PEAK_KB" to $results/check.txt.
timed() {
  local tag=$1
  shift
  local started=$EPOCHREALTIME
  (cd "$run" && /usr/bin/time -f "%M" -o "$run/peak.txt" "$@" >/dev/null 2>"$run/err.txt") ||
    { cat "$run/err.txt"; exit 1; }
  local ended=$EPOCHREALTIME
  echo "$tag $(awk "BEGIN { print $ended - $started }") $(cat "$run/peak.txt")" >>"$results/check.txt"
}

# The sponsor's cross-check of 2 000 logs holding 1 000 000 contacts in all, and `zorvant score` of the
# same contacts gathered in one Cabrillo log; then the check of 10 000 logs holding 5 000 000 contacts. Best
# of three runs each; each check's summary is kept for the table. Needs $build/native/bin/zorvant.
contest_rows() {
  contest "$logs/contest-2000" 2105 1052700 all.log
  contest "$logs/contest-10000" 10526 5263000
  echo "bench: zorvant check of the contests, and zorvant score of the first one's contacts, best of three runs each"
  # The figures depend on what else the machine does: its load goes into the table.
  echo "before $(cut -d' ' -f1-3 /proc/loadavg)" >>"$results/load.txt"
  run="$build/bench-check"
  rm -rf "$run" && mkdir -p "$run"
  for round in 1 2 3; do
    timed check "$build/native/bin/zorvant" check "$logs/contest-2000/logs" --start "2026-03-14 14:00" --out reports
    timed score "$build/native/bin/zorvant" score "$logs/contest-2000/all.log" --call ALL --start "2026-03-14 14:00"
  done
  cp "$run/reports/summary.txt" "$results/check-summary.txt"
  for round in 1 2 3; do
    timed world "$build/native/bin/zorvant" check "$logs/contest-10000/logs" --start "2026-03-14 14:00" --out world
  done
  cp "$run/world/summary.txt" "$results/world-summary.txt"
  echo "after $(cut -d' ' -f1-3 /proc/loadavg)" >>"$results/load.txt"
}

# settings: several plug-ins saving their settings at once in one station folder, natively and under Wine,
# on a loaded machine (bench/settings/load.sh).
if [ "$only" = settings ]; then
  "$root/bench/settings/load.sh" "$build" "$results" "${2:-50}"
  echo
  cat "$results/settings.txt"
  exit 0
fi
# serve: the log robot under load alone (bench/serve/load.sh): 200 uploads at once against zorvant serve.
if [ "$only" = serve ]; then
  "$root/bench/serve/load.sh" "$build" "$results"
  echo
  python3 "$root/bench/bench_table.py" "$results"
  exit 0
fi
if [ "$only" = check ]; then
  echo "bench: building"
  cmake -S "$root" -B "$build/native" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build/native" -j "$jobs" --target zorvant >/dev/null
  contest_rows
  echo
  python3 "$root/bench/bench_table.py" "$results"
  exit 0
fi
sizes=(1000 100000 1000000)
for n in "${sizes[@]}"; do
  if [ ! -f "$logs/log-$n.adi" ] || [ "$root/bench/make_log.py" -nt "$logs/log-$n.adi" ]; then
    echo "bench: writing a log of $n contacts"
    python3 "$root/bench/make_log.py" "$n" "$logs/log-$n.adi.part" && mv "$logs/log-$n.adi.part" "$logs/log-$n.adi"
  fi
done

echo "bench: building"
cmake -S "$root" -B "$build/bench" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build/bench" -j "$jobs" --target zorvant_bench zorvant_memory_bench >/dev/null
# `zorvant score` as scripts/build.sh builds it.
cmake -S "$root" -B "$build/native" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build/native" -j "$jobs" --target zorvant >/dev/null
# The Windows side as the main job runs it: 32-bit, through qemu-user where it must be (then its figures are qemu's),
# 64-bit only where no 32-bit program runs.
say_product_bits
bits=$(product_bits)
configure_win "$bits"
cmake --build "$(win_tree "$bits")" -j "$jobs" --target Stats zorvant_wine_bench >/dev/null

echo "bench: Google Benchmark programs"
for program in zorvant_bench zorvant_memory_bench; do
  ZORVANT_BENCH_LOGS="$logs" "$build/bench/bin/$program" --benchmark_out="$results/$program.json" \
    --benchmark_out_format=json >"$results/$program.txt" 2>&1 || { tail -n 20 "$results/$program.txt"; exit 1; }
done

echo "bench: zorvant score, best of three runs each"
run="$build/bench-run"
rm -rf "$run" && mkdir -p "$run"
for n in "${sizes[@]}"; do
  for round in 1 2 3; do
    # GNU time gives the peak memory; its clock shows hundredths only, too coarse for the small log.
    started=$EPOCHREALTIME
    (cd "$run" && /usr/bin/time -f "%M" -o "$run/peak.txt" "$build/native/bin/zorvant" score \
      "$logs/log-$n.adi" --call UA3XYZ --start "2026-03-14 14:00" >/dev/null 2>"$run/err.txt") ||
      { cat "$run/err.txt"; exit 1; }
    ended=$EPOCHREALTIME
    echo "$n $(awk "BEGIN { print $ended - $started }") $(cat "$run/peak.txt")" >>"$results/score.txt"
  done
done

contest_rows

echo "bench: the rescan through Stats.dll under Wine"
wine_ready
wine_run="$build/bench-wine"
rm -rf "$wine_run" && mkdir -p "$wine_run"
cp "$(win_tree "$bits")/bin/Stats.dll" "$(win_tree "$bits")/bin/zorvant_wine_bench.exe" "$wine_run/"
wine_logs=()
for n in "${sizes[@]}"; do wine_logs+=("Z:$logs/log-$n.adi"); done
(cd "$wine_run" && timeout 3600 "$(wine_loader "$bits")" zorvant_wine_bench.exe Stats.dll "${wine_logs[@]}" >"$results/wine.txt" \
  2>"$results/wine-err.txt") || { cat "$results/wine-err.txt"; exit 1; }

echo
python3 "$root/bench/bench_table.py" "$results"
