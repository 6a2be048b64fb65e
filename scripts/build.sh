#!/usr/bin/env bash
# Builds the native tree (engine, tests, benchmarks) and both Windows trees (Stats.dll, host stand-in,
# tests): 32-bit, the product, and 64-bit.
set -euo pipefail
. "$(dirname "$0")/env.sh"
jobs="${JOBS:-2}"

cmake -S "$root" -B "$build/native" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build/native" -j "$jobs"
for bits in 32 64; do
  configure_win "$bits"
  cmake --build "$(win_tree "$bits")" -j "$jobs"
done
