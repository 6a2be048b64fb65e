#!/usr/bin/env bash
# Try the plug-in by hand: installs what is missing, builds Stats.dll and the host stand-in, prepares a
# station folder for them under the build folder and opens the stand-in's logging window under Wine on your
# own display, with the plug-in's windows beside it. LOG (ADIF or Cabrillo), when given, is opened in it;
# further arguments go to the stand-in (--call, --start; `zorvant_host --help` lists them).
set -euo pipefail
. "$(dirname "$0")/env.sh"

if [ -z "${DISPLAY:-}" ]; then
  echo "try.sh: no DISPLAY: run it in your desktop session" >&2
  exit 1
fi
"$root/scripts/setup.sh"
station="$build/try"
say_product_bits
prepare_station "$station"
# The first time: both information windows shown, all three beside the stand-in's window. Later runs keep
# whatever the windows saved.
settings="$station/Plugins/ZORVANT.ini"
if [ ! -f "$settings" ]; then
  printf '[Settings]\r\nsetup_view_pref=1\r\nsetup_view_prev_qso=1\r\nsetup_x=585\r\nsetup_y=10\r\nprev_x=585\r\nprev_y=170\r\ndxcc_x=585\r\ndxcc_y=395\r\n' \
    >"$settings"
fi

args=()
if [ $# -gt 0 ] && [ "${1#--}" = "$1" ]; then
  # The log as Wine's Z: drive shows it.
  log="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
  args+=("Z:${log//\//\\}")
  shift
fi
cd "$station"
echo "station folder: $station (the bad-QSO, Cabrillo and statistics files are written here)"
exec "$wine" zorvant_host.exe --interactive "${args[@]}" "$@"
