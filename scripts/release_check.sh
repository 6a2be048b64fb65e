#!/usr/bin/env bash
# The test command's checks of the release (scripts/test.sh runs this after the builds and the Windows
# suites): scripts/package.sh run twice, in the build folder and in a fresh one, must write the same bytes;
# the zip must hold what an operator needs, as he needs it; its Stats.dll and zorvant.exe must be 32-bit,
# carry no time stamp and import only system DLLs; the DLL's version resource, read back under Wine,
# zorvant.exe --version and zorvant --version must give the project's version; and the packaged zorvant.exe
# must check the bundled contest to the same reports as the native zorvant, byte for byte.
#
#   release_check.sh [DIR]   works in DIR (default: build/release-check) and leaves the unpacked zip in
#                            DIR/unpacked, for test.sh's replay of the bundled log through its Stats.dll
#                            and its CLI tests against its zorvant.exe
#
# One line per check: "release ok: ..." or "release FAILED: ...", details indented below.
set -uo pipefail
. "$(dirname "$0")/env.sh"

work="${1:-$build/release-check}"
rm -rf "$work"
mkdir -p "$work"
ok() { echo "release ok: $*"; }
bad() { echo "release FAILED: $*"; }
indent() { sed 's/^/  /'; }

version=$(sed -n 's/^project(zorvant VERSION \([^ )]*\).*/\1/p' "$root/CMakeLists.txt")
zip_name="zorvant-stats-$version.zip"

# package NAME BUILD: one run of package.sh with BUILD as its build folder, the zip to $work/NAME.
package() {
  if ! ZORVANT_BUILD="$2" ZORVANT_DIST="$work/$1" "$root/scripts/package.sh" >"$work/$1.log" 2>&1; then
    bad "scripts/package.sh failed in $2"
    tail -n 20 "$work/$1.log" | indent
    return 1
  fi
  if [ ! -f "$work/$1/$zip_name" ]; then
    bad "scripts/package.sh wrote no $zip_name (the version in CMakeLists.txt is $version)"
    indent <"$work/$1.log"
    return 1
  fi
}
package first "$build" || exit 0
# The second build starts from nothing, in a folder of another name and depth.
package second "$work/another-build" || exit 0
zip="$work/first/$zip_name"
if cmp -s "$zip" "$work/second/$zip_name"; then
  ok "$zip_name is the same bytes from two build folders (sha256 $(sha256sum "$zip" | cut -d' ' -f1))"
else
  bad "$zip_name differs between two build folders"
  cmp -l "$work/first/$zip_name" "$work/second/$zip_name" | head -n 5 | indent
  for binary in Stats.dll zorvant.exe; do
    cmp -s "$build/release32/bin/$binary" "$work/another-build/release32/bin/$binary" ||
      echo "  $binary itself differs"
  done
fi

unpacked="$work/unpacked"
mkdir -p "$unpacked"
unzip -q "$zip" -d "$unpacked"
listed=$(unzip -Z1 "$zip" | tr '\n' ' ')
if [ "$listed" = "Stats.dll zorvant.exe INSTALL.txt INSTALL-ru.txt CHANGELOG.md SHA256SUMS " ] &&
  (cd "$unpacked" && sha256sum --quiet -c SHA256SUMS >/dev/null 2>&1); then
  ok "the zip holds Stats.dll, zorvant.exe, INSTALL.txt, INSTALL-ru.txt, CHANGELOG.md and SHA256SUMS, and the sums match"
else
  bad "the zip holds: $listed (or SHA256SUMS does not match)"
fi

# Notepad's form of the tree's notes: a byte-order mark, and CR LF at the end of every line.
notes_ok=1
for note in INSTALL.txt INSTALL-ru.txt; do
  packed="$unpacked/$note"
  if [ "$(head -c 3 "$packed" | od -An -tx1 | tr -d ' ')" != efbbbf ] ||
    [ "$(grep -c $'\r$' "$packed")" != "$(wc -l <"$packed")" ] ||
    ! tail -c +4 "$packed" | tr -d '\r' | cmp -s - "$root/release/$note"; then
    bad "$note is not release/$note with a byte-order mark and CR LF line ends"
    notes_ok=0
  fi
done
[ $notes_ok = 1 ] && ok "INSTALL.txt and INSTALL-ru.txt are the tree's notes, with a byte-order mark and CR LF"

# The operator copies one file at a time: only system DLLs may be imported. And no time stamp anywhere.
system_dlls='^(kernel32|user32|gdi32|ole32|oleaut32|msvcrt|advapi32|shell32|comctl32|comdlg32|version)\.dll$'
for binary in Stats.dll zorvant.exe; do
  file="$unpacked/$binary"
  imports=$(objdump -p "$file" | sed -n 's/^\s*DLL Name: //p' | paste -s -d ' ')
  foreign=$(objdump -p "$file" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | grep -v -E "$system_dlls" | tr '\n' ' ')
  # The file header's stamp, and the export directory's where there is one.
  stamps=$(objdump -p "$file" | grep 'Time/Date' | tr -s ' \t' ' ' | tr '\n' ';')
  expected="Time/Date Thu Jan 1 00:00:00 1970;"
  [ "$binary" = Stats.dll ] && expected+="Time/Date stamp 0;"
  if objdump -f "$file" | grep -q 'file format pei-i386' && [ -n "$imports" ] && [ -z "$foreign" ] &&
    [ "$stamps" = "$expected" ]; then
    ok "$binary is 32-bit, has a zero time stamp and imports only $imports"
  else
    bad "$binary: $(objdump -f "$file" | sed -n 's/.*file format //p'); $stamps imports $imports"
  fi
done
dll="$unpacked/Stats.dll"

# The version resource, read back by the Windows tests' own check: the 64-bit test program beside the
# packaged 32-bit DLL (reading a resource loads no code, and 64-bit Wine runs natively everywhere).
tests="$(win_tree 64)/bin/win_tests.exe"
reading="$work/version"
mkdir -p "$reading"
if [ ! -f "$tests" ]; then
  bad "no $tests to read the version resource with"
else
  cp "$tests" "$dll" "$reading/"
  wine_ready >/dev/null
  if (cd "$reading" && timeout 600 xvfb-run -a "$wine64" win_tests.exe --gtest_filter='VersionResource.*') \
    >"$work/version.log" 2>&1 && grep -a -q '^\[  PASSED  \] 1 test' "$work/version.log"; then
    ok "the packaged Stats.dll's version resource reads $version (GetFileVersionInfo under Wine)"
  else
    bad "the packaged Stats.dll's version resource does not read $version"
    grep -a -E 'Failure|Expected|Which is|Value of|Actual|has no' "$work/version.log" | head -n 20 | indent
  fi
fi

# The packaged zorvant.exe under Wine, where 32-bit programs run (emulated or not): its version, and the
# bundled contest checked as the native command checks it.
exe="$unpacked/zorvant.exe"
if [ "$(machine_32bit)" = none ]; then
  echo "release: zorvant.exe is not run: this machine runs no 32-bit program"
else
  wine_ready >/dev/null
  said=$(cd "$work" && timeout 600 "$wine32" "$exe" --version 2>&1 | tr -d '\r')
  if [ "$said" = "zorvant $version" ]; then
    ok "zorvant.exe --version says $version"
  else
    bad "zorvant.exe --version says \"$said\", not \"zorvant $version\""
  fi
  contest="$work/contest"
  rm -rf "$contest" && mkdir -p "$contest" && cp -r "$root/tests/data/check/logs" "$contest/logs"
  (cd "$contest" && "$build/native/bin/zorvant" check logs --start "2026-03-14 14:00" --out native --html \
    >native.out 2>native.err)
  native_rc=$?
  (cd "$contest" && timeout 600 "$wine32" "$exe" check logs --start "2026-03-14 14:00" --out native.win --html \
    >win.out 2>win.err)
  win_rc=$?
  # The same files, and the same output but for the folder's name.
  if [ $native_rc = 0 ] && [ $win_rc = 0 ] && diff -r "$contest/native" "$contest/native.win" >/dev/null &&
    cmp -s "$contest/native.err" "$contest/win.err" &&
    sed 's/native.win:/native:/' "$contest/win.out" | cmp -s "$contest/native.out" -; then
    ok "the packaged zorvant.exe checks tests/data/check/logs to the same reports and output as zorvant, byte for byte"
  else
    bad "the packaged zorvant.exe checks tests/data/check/logs otherwise than zorvant (exit $win_rc against $native_rc)"
    diff -r "$contest/native" "$contest/native.win" 2>&1 | head -n 10 | indent
    diff "$contest/native.err" "$contest/win.err" 2>&1 | head -n 5 | indent
  fi
fi

said=$("$build/native/bin/zorvant" --version 2>&1)
if [ "$said" = "zorvant $version" ]; then
  ok "zorvant --version says $version"
else
  bad "zorvant --version says \"$said\", not \"zorvant $version\""
fi
