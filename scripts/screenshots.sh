#!/usr/bin/env bash
# Takes the README's pictures of the plug-in's windows under a virtual X screen and writes them to docs/.
# The windows are shown inside Wine's own desktop window, so that they have their captions: the Setup
# window by the Windows test program (English, and Russian for a home-area station), the information
# windows by the host stand-in after it has worked the bundled log, with a logged callsign typed on 80 m,
# and a live session of the stand-in's interactive window beside all three, scripted by the test program.
set -euo pipefail
. "$(dirname "$0")/env.sh"

"$root/scripts/setup.sh"
missing=()
for p in x11-apps imagemagick; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
"$root/scripts/build.sh" >/dev/null
wine_ready
# The pictures are the product's: the 32-bit build, emulated where it must be.
say_product_bits
bits=$(product_bits)
tree=$(win_tree "$bits")
wine=$(wine_loader "$bits")
# How long a shown window is given to come up, and how much longer the waits for one may be: under
# qemu-user a Wine program starts a few seconds later than natively.
settle=4
scale=1
if [ "$bits" = 32 ] && [ "$(machine_32bit)" = emulated ]; then settle=10; scale=3; fi
export ZORVANT_WAIT_SCALE=$scale
mkdir -p "$root/docs"

# screen_dpi DPI: the screen's DPI for the Wine programs started from now on (the prefix's LogPixels, which
# each reads as it starts); no DPI puts the default back.
screen_dpi() {
  if [ -n "${1:-}" ]; then
    "$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  else
    "$wine" reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f >/dev/null 2>&1 || true
  fi
}
trap screen_dpi EXIT

# setup_shot MODE FILE [SCALE]: the test program's MODE shows the Setup window at (20, 20); the desktop's
# corner that holds it, SCALE times 360x180 (a screen at SCALE times 96 DPI), is saved.
setup_shot() {
  local size wait=$settle
  size=$(awk -v s="${3:-1}" 'BEGIN { printf "%dx%d", 360 * s, 180 * s }')
  # Wine takes longer to come up the first time after the DPI changed.
  [ "${3:-1}" = 1 ] || wait=$((settle * 2))
  wineserver -w || true  # a server lingering from the last picture would keep its own screen
  xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    cd "$1/bin"
    "$4" explorer /desktop=shot,"$6" win_tests.exe --child="$2" >/dev/null 2>&1 &
    sleep "$5"
    xwd -root -silent | convert xwd:- -crop "$6"+0+0 +repage "$3"
    wait
  ' _ "$tree" "$1" "$2" "$wine" "$wait" "$size"
  echo "wrote $2"
}
setup_shot show-setup "$root/docs/setup-window.png"
setup_shot show-setup-russian "$root/docs/setup-window-russian.png"
# The same at 144 DPI, where the windows grow by half.
screen_dpi 144
setup_shot show-setup "$root/docs/setup-window-144dpi.png" 1.5
setup_shot show-setup-russian "$root/docs/setup-window-russian-144dpi.png" 1.5
screen_dpi

# station_shots PLACES: the information windows, pictured by the host stand-in in a station folder of its own
# whose settings show both at PLACES (apart from each other); the pictures land in "$station/pictures".
station="$build/shots"
station_shots() {
  rm -rf "$station"
  mkdir -p "$station/Plugins" "$station/pictures"
  cp "$tree/bin/zorvant_host.exe" "$root/data/sample-contest.adi" "$station/"
  cp "$tree/bin/Stats.dll" "$station/Plugins/"
  printf '[Settings]\r\nStart=0\r\nsetup_view_pref=1\r\nsetup_view_prev_qso=1\r\nsetup_x=10\r\nsetup_y=10\r\n%b' \
    "$1" >"$station/Plugins/ZORVANT.ini"
  (
    cd "$station"
    xvfb-run -a -s "-screen 0 1280x1024x24" "$wine" explorer /desktop=shot,1280x1024 zorvant_host.exe \
      sample-contest.adi --call DL0ZV --pictures "Z:${station//\//\\}\\pictures" >/dev/null 2>&1
  )
}
station_shots 'prev_x=300\r\nprev_y=10\r\ndxcc_x=10\r\ndxcc_y=260\r\n'
convert "$station/pictures/prefix.bmp" "$root/docs/prefix-window.png"
convert "$station/pictures/previous-qso.bmp" "$root/docs/previous-qso-window.png"
echo "wrote $root/docs/prefix-window.png and previous-qso-window.png"
screen_dpi 144
station_shots 'prev_x=450\r\nprev_y=10\r\ndxcc_x=10\r\ndxcc_y=390\r\n'
screen_dpi
convert "$station/pictures/prefix.bmp" "$root/docs/prefix-window-144dpi.png"
echo "wrote $root/docs/prefix-window-144dpi.png"

# The interactive stand-in: the test program opens a log of this hour in it and types a callsign of the log;
# it leaves interactive-session.ready beside itself while the windows are there to be pictured.
xvfb-run -a -s "-screen 0 1100x700x24" bash -c '
  cd "$1/bin"
  rm -f interactive-session.ready
  "$3" explorer /desktop=shot,1060x640 win_tests.exe --child=interactive-session >/dev/null 2>&1 &
  for _ in $(seq $((600 * $4))); do
    [ -f interactive-session.ready ] && break
    sleep 0.1
  done
  if [ -f interactive-session.ready ]; then
    sleep 0.5
    xwd -root -silent | convert xwd:- -crop 1060x640+0+0 +repage "png:$2"
  fi
  wait
  [ -f "$2" ]
' _ "$tree" "$root/docs/interactive-session.png.new" "$wine" "$scale" && mv "$root/docs/interactive-session.png.new" "$root/docs/interactive-session.png" ||
  { echo "the interactive session did not come to be pictured" >&2; exit 1; }
echo "wrote $root/docs/interactive-session.png"
