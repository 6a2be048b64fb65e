#!/usr/bin/env bash
# The log robot under load (scripts/bench.sh serve): 200 entrants at once each send a real-sized log and
# confirm it, against `zorvant serve` on a free port of the loopback, three times, each on a fresh database.
# The logs are a contest of bench/make_contest.py (220 stations, about 1 000 contacts a log; written once).
# Each run adds a line of bench/serve/load.cpp's to RESULTS/serve.txt; the run fails when an entrant got no
# answer or a confirmed log is missing from the database.
#
# usage: bench/serve/load.sh BUILD_FOLDER RESULTS_FOLDER   (BUILD_FOLDER/native holds the built tree)
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build=$1
results=$2
native="$build/native"
contest="$build/bench-logs/contest-serve"
work="$build/bench-serve"

if [ ! -f "$contest/truth.tsv" ] || [ "$root/bench/make_contest.py" -nt "$contest/truth.tsv" ]; then
  echo "bench: writing a contest of 220 stations, about 1 000 contacts a log"
  rm -rf "$contest"
  python3 "$root/bench/make_contest.py" 220 "$contest/logs" --contacts 220000 --truth "$contest/truth.tsv.part"
  mv "$contest/truth.tsv.part" "$contest/truth.tsv"
fi
cmake -S "$root" -B "$native" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$native" -j "${JOBS:-2}" --target zorvant zorvant_serve_load >/dev/null
if ! "$native/bin/zorvant" serve --help >/dev/null 2>&1; then
  echo "bench: zorvant serve is not built here (libcpp-httplib-dev, libsqlite3-dev missing)" >&2
  exit 1
fi

echo "bench: 200 uploads at once against zorvant serve, three runs"
mkdir -p "$work" "$results"
for round in 1 2 3; do
  data="$work/data-$round"
  rm -rf "$data"
  "$native/bin/zorvant" serve --data "$data" --start "2026-03-14 14:00" --listen 127.0.0.1:0 \
    --key bench-serve-key-0001 >"$work/server.out" 2>&1 &
  server=$!
  port=""
  for _ in $(seq 100); do
    port=$(sed -n 's|.*listening on http://127.0.0.1:\([0-9]*\)/.*|\1|p' "$work/server.out")
    [ -n "$port" ] && break
    sleep 0.1
  done
  rc=0
  [ -n "$port" ] && "$native/bin/zorvant_serve_load" --port "$port" --logs "$contest/logs" --data "$data" \
    --entrants 200 >>"$results/serve.txt" || rc=1
  kill "$server"
  wait "$server" || true
  if [ $rc -ne 0 ]; then
    tail -n 5 "$work/server.out" "$results/serve.txt" >&2
    exit 1
  fi
done

# A flood of the largest logs, every line a problem, never confirmed: the robot's memory must stay within its
# bound on waiting answers (and answer "busy" past it) rather than grow with the flood.
echo "bench: 110 logs of 5 MB never confirmed against zorvant serve"
python3 "$root/bench/serve/flood.py" "$native/bin/zorvant" --logs 110 --clients 4 >>"$results/serve.txt"
