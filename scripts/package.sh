#!/usr/bin/env bash
# Builds the release and writes dist/zorvant-stats-VERSION.zip, the one file an operator downloads: the
# 32-bit Stats.dll and zorvant.exe (release builds, no symbols), the install notes in English and Russian,
# CHANGELOG.md and the SHA-256 sums of the five. Prints the zip's path and its SHA-256.
#
# Two runs on one commit write the same bytes, whatever their build folders, so anyone can check a download
# against the source. ZORVANT_BUILD chooses the build folder (the release tree is its release32/),
# ZORVANT_DIST the folder the zip goes to. File times in the zip are the commit's time (SOURCE_DATE_EPOCH
# when set; it must be set outside a git clone).
set -euo pipefail
. "$(dirname "$0")/env.sh"

"$root/scripts/setup.sh" >&2
tree="$build/release32"
dist="${ZORVANT_DIST:-$root/dist}"

# Build output goes to a log; only a failure shows it.
log="$build/package-build.log"
mkdir -p "$build"
if ! { cmake -S "$root" -B "$tree" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release && cmake --build "$tree" -j "${JOBS:-2}" --target Stats zorvant; } >"$log" 2>&1; then
  tail -n 30 "$log" >&2
  echo "package: the release build failed (all of it in $log)" >&2
  exit 1
fi
version=$(sed -n 's/^#define ZORVANT_VERSION "\(.*\)"$/\1/p' "$tree/generated/zorvant_version.h")
[ -n "$version" ] || { echo "package: no version in $tree/generated/zorvant_version.h" >&2; exit 1; }

epoch="${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || true)}"
if [ -z "$epoch" ]; then
  echo "package: $root is no git clone: set SOURCE_DATE_EPOCH to the time the files should carry" >&2
  exit 1
fi

# The install notes are kept as UTF-8 with LF; Notepad shows them right with a byte-order mark and CR LF.
stage="$tree/zip"
rm -rf "$stage"
mkdir -p "$stage"
cp "$tree/bin/Stats.dll" "$tree/bin/zorvant.exe" "$root/CHANGELOG.md" "$stage/"
for note in INSTALL.txt INSTALL-ru.txt; do
  { printf '\xef\xbb\xbf'; sed 's/\r$//; s/$/\r/' "$root/release/$note"; } >"$stage/$note"
done
files=(Stats.dll zorvant.exe INSTALL.txt INSTALL-ru.txt CHANGELOG.md)
(cd "$stage" && sha256sum "${files[@]}" >SHA256SUMS)
files+=(SHA256SUMS)

# Fixed content, order, modes and times, and no extra fields (owners, time zones): zip stores local time,
# hence TZ=UTC.
(cd "$stage" && chmod 644 "${files[@]}" && touch -d "@$epoch" "${files[@]}")
mkdir -p "$dist"
dist=$(cd "$dist" && pwd)
zip="$dist/zorvant-stats-$version.zip"
rm -f "$zip"
(cd "$stage" && TZ=UTC zip -X -D -q "$zip" "${files[@]}")

echo "zip     $zip"
echo "sha256  $(sha256sum "$zip" | cut -d' ' -f1)"
