#!/usr/bin/env bash
# The main job: installs what is missing, builds Stats.dll and the host stand-in, and scores the bundled
# contest log through the plug-in's exports under Wine as the host would on an export pass: the header
# dialog is confirmed with the fields of data/sample-contest.args, every contact is added, and the report
# and the name of the Cabrillo file are printed. Extra arguments go to the stand-in (--help lists them).
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
mapfile -t options <"$root/data/sample-contest.args"
cd "$station"
rm -f BadQSO_StatsZORVANT_*.txt ./*.cbr  # left by an earlier run
timeout 600 xvfb-run -a wine zorvant_host.exe sample-contest.adi "${options[@]}" "$@"
echo
echo "bad-QSO file written by the plug-in ($station):"
cat BadQSO_StatsZORVANT_*.txt | tr -d '\r'
for cbr in *.cbr; do
  if [ -f "$cbr" ]; then echo "Cabrillo file: $station/$cbr ($(wc -l <"$cbr") lines)"; fi
done
