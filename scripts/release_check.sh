#!/usr/bin/env bash
# The test command's checks of the release (scripts/test.sh runs this after the builds and the Windows
# suites): scripts/package.sh run twice, in the build folder and in a fresh one, must write the same bytes;
# the zip must hold what an operator needs, as he needs it; its Stats.dll must be 32-bit, carry no time
# stamp and import only system DLLs; its version resource, read back under Wine, and zorvant --version must
# give the project's version.
#
#   release_check.sh [DIR]   works in DIR (default: build/release-check) and leaves the unpacked zip in
#                            DIR/unpacked, for test.sh's replay of the bundled log through its Stats.dll
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
  cmp -s "$build/release32/bin/Stats.dll" "$work/another-build/release32/bin/Stats.dll" ||
    echo "  Stats.dll itself differs"
fi

unpacked="$work/unpacked"
mkdir -p "$unpacked"
unzip -q "$zip" -d "$unpacked"
listed=$(unzip -Z1 "$zip" | tr '\n' ' ')
if [ "$listed" = "Stats.dll INSTALL.txt INSTALL-ru.txt CHANGELOG.md SHA256SUMS " ] &&
  (cd "$unpacked" && sha256sum --quiet -c SHA256SUMS >/dev/null 2>&1); then
  ok "the zip holds Stats.dll, INSTALL.txt, INSTALL-ru.txt, CHANGELOG.md and SHA256SUMS, and the sums match"
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

# The operator copies one file: only system DLLs may be imported. And no time stamp anywhere in it.
dll="$unpacked/Stats.dll"
system_dlls='^(kernel32|user32|gdi32|ole32|oleaut32|msvcrt|advapi32|shell32|comctl32|comdlg32|version)\.dll$'
imports=$(objdump -p "$dll" | sed -n 's/^\s*DLL Name: //p' | paste -s -d ' ')
foreign=$(objdump -p "$dll" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | grep -v -E "$system_dlls" | tr '\n' ' ')
# The file header's stamp and the export directory's.
stamps=$(objdump -p "$dll" | grep 'Time/Date' | tr -s ' \t' ' ' | tr '\n' ';')
if objdump -f "$dll" | grep -q 'file format pei-i386' && [ -n "$imports" ] && [ -z "$foreign" ] &&
  [ "$stamps" = "Time/Date Thu Jan 1 00:00:00 1970;Time/Date stamp 0;" ]; then
  ok "Stats.dll is 32-bit, has a zero time stamp and imports only $imports"
else
  bad "Stats.dll: $(objdump -f "$dll" | sed -n 's/.*file format //p'); $stamps imports $imports"
fi

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

said=$("$build/native/bin/zorvant" --version 2>&1)
if [ "$said" = "zorvant $version" ]; then
  ok "zorvant --version says $version"
else
  bad "zorvant --version says \"$said\", not \"zorvant $version\""
fi
