#!/usr/bin/env bash
# Several plug-ins saving their settings at once in one station folder (scripts/bench.sh settings): 3, 4 and
# 6 writers (bench/settings/writers.cpp), each doing ROUNDS export passes' worth of settings writes with a
# header field of its own, beside two busy loops that keep the machine loaded. Natively and under Wine, in
# each build that runs here. Adds a line per run to RESULTS/settings.txt: the build, the writers, the load,
# the passes, those not saved, the slowest save and the values lost without a word. Fails when a value was
# lost, or when a pass was not saved while every writer was alive.
#
# usage: bench/settings/load.sh BUILD_FOLDER RESULTS_FOLDER [ROUNDS]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
. "$root/scripts/env.sh"
build=$1
results=$2
rounds=${3:-50}
jobs="${JOBS:-2}"
mkdir -p "$results"
work="$build/bench-settings"
rm -rf "$work" && mkdir -p "$work"

cmake -S "$root" -B "$build/native" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build/native" -j "$jobs" --target zorvant_settings_writers >/dev/null
builds=(native 64)
[ "$(machine_32bit)" = none ] || builds+=(32)
for bits in "${builds[@]}"; do
  [ "$bits" = native ] && continue
  configure_win "$bits"
  cmake --build "$(win_tree "$bits")" -j "$jobs" --target zorvant_settings_writers >/dev/null
done
wine_ready >/dev/null

# Two busy loops besides the writers, ended by their ids when the runs are over.
busy=()
for _ in 1 2; do
  bash -c 'while :; do :; done' &
  busy+=($!)
done
stop_busy() { for pid in "${busy[@]}"; do kill "$pid" 2>/dev/null || true; done; }
trap stop_busy EXIT

failed=0
for bits in "${builds[@]}"; do
  for writers in 3 4 6; do
    station="$work/$bits-$writers"
    mkdir -p "$station/Plugins"
    printf '[Settings]\r\nName=Ivan\r\nStart=0\r\n' >"$station/Plugins/ZORVANT.ini"
    pids=()
    for ((i = 0; i < writers; i++)); do
      if [ "$bits" = native ]; then
        "$build/native/bin/zorvant_settings_writers" "$station" "$i" "$rounds" >"$station/out-$i.txt" 2>"$station/err-$i.txt" &
      else
        "$(wine_loader "$bits")" "$(win_tree "$bits")/bin/zorvant_settings_writers.exe" "Z:$station" "$i" "$rounds" \
          >"$station/out-$i.txt" 2>"$station/err-$i.txt" &
      fi
      pids+=($!)
    done
    # Every writer polls for this file, so that all start together however long Wine takes to start them.
    sleep 3
    load=$(cut -d' ' -f1 /proc/loadavg)
    touch "$station/go"
    for pid in "${pids[@]}"; do wait "$pid" || failed=1; done
    cat "$station"/out-*.txt | tr -d '\r' >"$station/all.txt"
    passes=$(awk '{ n += $3 } END { print n + 0 }' "$station/all.txt")
    unsaved=$(awk '{ n += $5 } END { print n + 0 }' "$station/all.txt")
    slowest=$(awk '{ if ($10 > m) m = $10 } END { print m + 0 }' "$station/all.txt")
    lost=$(grep -c LOST "$station/all.txt" || true)
    [ "$(wc -l <"$station/all.txt")" -eq "$writers" ] || { cat "$station"/err-*.txt; failed=1; }
    name=$bits
    [ "$bits" = native ] || name="wine$bits"
    [ "$bits" = 32 ] && [ "$(machine_32bit)" = emulated ] && name="wine32-emulated"
    echo "settings $name writers=$writers load=$load passes=$passes not_saved=$unsaved slowest_ms=$slowest lost=$lost" |
      tee -a "$results/settings.txt"
    if [ "$unsaved" -ne 0 ] || [ "$lost" -ne 0 ]; then
      sort "$station"/err-*.txt | uniq -c | head -5
      failed=1
    fi
  done
done
exit "$failed"
