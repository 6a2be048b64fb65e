# Sourced by the other scripts: where things are built and how Wine runs.
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# ZORVANT_BUILD puts the build trees and the Wine prefix elsewhere (one per concurrent run).
build="${ZORVANT_BUILD:-$root/build}"
export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
# Wine's .NET and HTML add-ons cannot be downloaded here, and nothing of ours needs them.
export WINEDLLOVERRIDES="mscoree,mshtml="
# Debian's two loaders, called by name: /usr/bin/wine takes the 32-bit one whenever it is installed, even
# where the kernel cannot run it.
wine32=/usr/lib/wine/wine
wine64=/usr/lib/wine/wine64

# How this machine runs 32-bit x86 programs: native, emulated (through qemu-user) or none. Found by running
# one, once per script.
machine_32bit() {
  [ -n "${arch32:-}" ] || arch32=$("$root/scripts/binfmt.sh" probe)
  echo "$arch32"
}

# The Windows tree of BITS (32 or 64): its build folder and toolchain.
win_tree() { if [ "$1" = 32 ]; then echo "$build/win32"; else echo "$build/win64"; fi; }
configure_win() {  # BITS
  local toolchain=mingw-i686.cmake
  [ "$1" = 32 ] || toolchain=mingw-x86_64.cmake
  cmake -S "$root" -B "$(win_tree "$1")" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
}
wine_loader() { if [ "$1" = 32 ]; then echo "$wine32"; else echo "$wine64"; fi; }

# The bits of the plug-in the main job and the other scripts run: the 32-bit one, the product itself,
# wherever 32-bit programs run at all (natively or through qemu-user); the 64-bit one only where none do.
product_bits() {
  if [ "$(machine_32bit)" = none ]; then echo 64; else echo 32; fi
}
say_product_bits() {
  if [ "$(machine_32bit)" = none ]; then
    echo "setup: this machine runs no 32-bit programs (and cannot emulate them here): running the 64-bit build of the plug-in instead"
  fi
}

# One 64-bit prefix serves both builds: 32-bit programs run in its WoW64 half.
wine_ready() {
  if grep -q '^#arch=win32' "$WINEPREFIX/system.reg" 2>/dev/null; then
    echo "setup: the Wine prefix is a 32-bit one (an older layout): making it anew"
    wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
  fi
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "setup: creating the Wine prefix"
    WINEARCH=win64 "$wine64" wineboot -i >/dev/null 2>&1 || true
  fi
  # A server left from an earlier run lingers for a few seconds; a program that connects just as it quits
  # dies with "wine client error". Let it finish first.
  wineserver -w || true
  register_host_class
  stand_in_desktop
}

# The stand-in runs in a Wine desktop window of its own, where Wine draws every window's frame and title
# bar as Windows does. On a bare X screen (Xvfb has no window manager) nobody draws them, and a picture of
# a plug-in window would show black where its frame should be.
stand_in_desktop() {
  if grep -q '^\[Software\\\\Wine\\\\AppDefaults\\\\zorvant_host.exe\\\\Explorer\]' "$WINEPREFIX/user.reg" 2>/dev/null &&
    grep -q '^"zorvant"="1024x768"' "$WINEPREFIX/user.reg" 2>/dev/null; then
    return
  fi
  echo "setup: the host stand-in gets a Wine desktop of its own (1024x768)"
  "$wine64" reg add 'HKCU\Software\Wine\AppDefaults\zorvant_host.exe\Explorer' /v Desktop /d zorvant /f >/dev/null 2>&1 || true
  "$wine64" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v zorvant /d 1024x768 /f >/dev/null 2>&1 || true
  wineserver -w || true
}

# The host stand-in publishes the host's automation object under this ProgID; Wine finds the class only under
# HKEY_CLASSES_ROOT, and 32-bit programs look in its 32-bit view. The class id is the stand-in's own
# (host/automation_object.h).
host_clsid='{5E0B6A3C-2F41-4C8E-9D27-7A1F3B64C0D5}'
register_host_class() {
  if grep -q '^\[Software\\\\Classes\\\\Wow6432Node\\\\Tarq2.Application\\\\CLSID\]' "$WINEPREFIX/system.reg" 2>/dev/null &&
    grep -q '^\[Software\\\\Classes\\\\Tarq2.Application\\\\CLSID\]' "$WINEPREFIX/system.reg" 2>/dev/null; then
    return
  fi
  echo "setup: registering Tarq2.Application in the Wine prefix"
  local view
  for view in 32 64; do
    "$wine64" reg add 'HKCR\Tarq2.Application\CLSID' /ve /d "$host_clsid" /f "/reg:$view" >/dev/null 2>&1 || true
    "$wine64" reg add "HKCR\\CLSID\\$host_clsid\\ProgID" /ve /d 'Tarq2.Application' /f "/reg:$view" >/dev/null 2>&1 || true
  done
  wineserver -w || true
}

# prepare_station FOLDER [BITS]: builds Stats.dll and the host stand-in (BITS, the product's by default),
# readies Wine, and lays FOLDER out as the host's own folder: the program, and its Plugins folder with the
# plug-in in it. Sets `wine` to the loader that runs them.
prepare_station() {
  local bits="${2:-$(product_bits)}"
  configure_win "$bits"
  cmake --build "$(win_tree "$bits")" -j "${JOBS:-2}" --target Stats zorvant_host
  wine_ready
  mkdir -p "$1/Plugins"
  cp "$(win_tree "$bits")/bin/zorvant_host.exe" "$1/"
  cp "$(win_tree "$bits")/bin/Stats.dll" "$1/Plugins/"
  wine=$(wine_loader "$bits")
}
