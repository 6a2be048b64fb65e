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
  register_host_class
}

# The host stand-in publishes the host's automation object under this ProgID; Wine finds the class only under
# HKEY_CLASSES_ROOT. The class id is the stand-in's own (host/automation_object.h).
host_clsid='{5E0B6A3C-2F41-4C8E-9D27-7A1F3B64C0D5}'
register_host_class() {
  if grep -q '^\[Software\\\\Classes\\\\Tarq2.Application\\\\CLSID\]' "$WINEPREFIX/system.reg" 2>/dev/null; then
    return
  fi
  echo "setup: registering Tarq2.Application in the Wine prefix"
  wine reg add 'HKCR\Tarq2.Application\CLSID' /ve /d "$host_clsid" /f >/dev/null 2>&1 || true
  wine reg add "HKCR\\CLSID\\$host_clsid\\ProgID" /ve /d 'Tarq2.Application' /f >/dev/null 2>&1 || true
  wineserver -w || true
}

# prepare_station FOLDER: builds Stats.dll and the host stand-in, readies Wine, and lays FOLDER out as the
# host's own folder: the program, and its Plugins folder with the plug-in in it.
prepare_station() {
  cmake -S "$root" -B "$build/win32" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build/win32" -j "${JOBS:-2}" --target Stats zorvant_host
  wine_ready
  mkdir -p "$1/Plugins"
  cp "$build/win32/bin/zorvant_host.exe" "$1/"
  cp "$build/win32/bin/Stats.dll" "$1/Plugins/"
}
