#!/usr/bin/env bash
# The main job: installs what is missing, builds Stats.dll and the host stand-in, and replays the bundled
# contest log through the plug-in's exports under Wine, printing what each export answered.
set -euo pipefail
. "$(dirname "$0")/env.sh"

"$root/scripts/setup.sh"
cmake -S "$root" -B "$build/win32" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build/win32" -j "${JOBS:-2}" --target Stats zorvant_host
wine_ready

# A host folder as the real host has it: the program, its Plugins folder with the plug-in in it.
station="$build/station"
mkdir -p "$station/Plugins"
cp "$build/win32/bin/zorvant_host.exe" "$station/"
cp "$build/win32/bin/Stats.dll" "$station/Plugins/"
cp "$root/data/sample-contest.adi" "$station/"
cd "$station"
timeout 600 xvfb-run -a wine zorvant_host.exe "$@" sample-contest.adi
echo
echo "bad-QSO file written by the plug-in:"
cat BadQSO_StatsZORVANT_*.txt | tr -d '\r'
