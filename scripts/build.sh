#!/usr/bin/env bash
# Builds the native tree (engine, tests, benchmarks) and the Windows tree (Stats.dll, host stand-in, tests).
set -euo pipefail
. "$(dirname "$0")/env.sh"
jobs="${JOBS:-2}"

cmake -S "$root" -B "$build/native" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build/native" -j "$jobs"
cmake -S "$root" -B "$build/win32" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build/win32" -j "$jobs"
