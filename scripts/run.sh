#!/usr/bin/env bash
# The main job: installs what is missing, builds Stats.dll and the host stand-in, and scores the bundled
# contest log through the plug-in's exports under Wine as the host would on an export pass: the header
# dialog is confirmed with the fields of data/sample-contest.args, every contact is added, and the report
# and the name of the Cabrillo file are printed. Extra arguments go to the stand-in (--help lists them).
# It runs the 32-bit plug-in, the product itself, through qemu-user where the kernel runs no 32-bit
# programs, and the 64-bit build only where no 32-bit program can run at all (it says which).
set -euo pipefail
. "$(dirname "$0")/env.sh"

"$root/scripts/setup.sh"
station="$build/station"
say_product_bits
prepare_station "$station"
cp "$root/data/sample-contest.adi" "$station/"
mapfile -t options <"$root/data/sample-contest.args"
cd "$station"
rm -f BadQSO_StatsZORVANT_*.txt ./*.cbr  # left by an earlier run
# This station's own settings for the plug-in: its Setup window opens on the live session of every run (the
# start toggle alternates otherwise), with both information windows, each where the others leave it seen.
settings=Plugins/ZORVANT.ini
set_setting() {  # KEY VALUE, in section [Settings], with the CR LF line ends the plug-in writes
  [ -f "$settings" ] || printf '[Settings]\r\n' >"$settings"
  if grep -q "^$1=" "$settings"; then
    sed -i "s/^$1=.*/$1=$2\r/" "$settings"
  else
    sed -i "s/^\[Settings\]\r\?\$/&\n$1=$2\r/" "$settings"
  fi
}
set_setting Start 0
set_setting setup_view_pref 1
set_setting setup_view_prev_qso 1
set_setting setup_x 10
set_setting setup_y 10
set_setting prev_x 300
set_setting prev_y 10
set_setting dxcc_x 10
set_setting dxcc_y 260
# Pictures of the plug-in's windows as the run leaves them. The folder is named as Wine's Z: drive shows it
# (asking winepath would start Wine without the virtual screen, and the windows would have no display).
pictures="$build/pictures"
mkdir -p "$pictures"
rm -f "$pictures"/*.bmp
# The stand-in runs in a Wine desktop of its own (env.sh), which stays until Wine's server ends: waited for
# before the virtual screen goes, so that nothing is left talking to it.
timeout 1200 xvfb-run -a -s "-screen 0 1024x768x24" bash -c '"$@"; rc=$?; wineserver -w; exit $rc' _ \
  "$wine" zorvant_host.exe sample-contest.adi "${options[@]}" --pictures "Z:${pictures//\//\\}" "$@"
echo
echo "bad-QSO file written by the plug-in ($station):"
cat BadQSO_StatsZORVANT_*.txt | tr -d '\r'
for cbr in *.cbr; do
  if [ -f "$cbr" ]; then echo "Cabrillo file: $station/$cbr ($(wc -l <"$cbr") lines)"; fi
done
