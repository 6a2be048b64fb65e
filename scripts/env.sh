# Sourced by the other scripts: where things are built and how Wine runs.
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# ZORVANT_BUILD puts the build trees and the Wine prefix elsewhere (one per concurrent run).
build="${ZORVANT_BUILD:-$root/build}"
export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
# Wine's .NET and HTML add-ons cannot be downloaded here, and nothing of ours needs them.
export WINEDLLOVERRIDES="mscoree,mshtml="

wine_ready() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "setup: creating the Wine prefix"
    wineboot -i >/dev/null 2>&1 || true
  fi
  # A server left from an earlier run lingers for a few seconds; a program that connects just as it quits
  # dies with "wine client error". Let it finish first.
  wineserver -w || true
}
