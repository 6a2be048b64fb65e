#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian machine (run as root). Safe to run again: it only
# installs what is missing. Where the kernel runs no 32-bit programs, it makes them run through qemu-user
# (scripts/binfmt.sh) when it can, and says which way 32-bit programs run.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"

packages=(cmake g++ make googletest libgtest-dev libbenchmark-dev mingw-w64-tools
          g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32:i386 wine64 xvfb xauth
          zip unzip                # the release zip (scripts/package.sh)
          locales                  # localedef: Russian and Western locales for zorvant.exe under Wine
          clang libclang-rt-dev   # the fuzz targets (libFuzzer) and the sanitizer tree
          libcpp-httplib-dev libsqlite3-dev                 # zorvant serve (cmake/serve.cmake)
          chromium chromium-driver python3-selenium)        # its browser test

install() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  ((${#missing[@]})) || return 0
  echo "setup: installing ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}
install "${packages[@]}"

# A qemu-user of version 8 or later (binfmt.sh tells why): the Debian release's own where it is that new,
# else, on Debian 12, the one of Debian's bookworm-backports suite, from the mirror the machine already uses.
# Backports keep their low default priority: only what is named with -t comes from there.
qemu_from_debian() {
  local found
  if found=$("$here/binfmt.sh" qemu 2>/dev/null); then return 0; fi
  local candidate suite=""
  candidate=$(apt-cache policy qemu-user 2>/dev/null | sed -n 's/^ *Candidate: \(.*:\)\?\([0-9]*\)\..*/\2/p')
  if [ -z "$candidate" ] || [ "$candidate" -lt 8 ]; then
    # shellcheck disable=SC1091
    local codename
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    if [ "$codename" != bookworm ]; then
      echo "setup: this Debian ($codename) has no qemu-user of version 8 or later" >&2
      return 1
    fi
    suite=bookworm-backports
    add_backports "$suite" || return 1
  fi
  echo "setup: installing qemu-user${suite:+ from $suite}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get install -y -qq --no-install-recommends ${suite:+-t "$suite"} qemu-user >/dev/null
  "$here/binfmt.sh" qemu >/dev/null
}

# add_backports SUITE: a sources entry of its own for SUITE, with the URI and key of the machine's own
# Debian entry (deb822 or one-line), unless some entry already names SUITE.
add_backports() {
  local suite="$1" list=/etc/apt/sources.list.d/zorvant-$1.sources entry
  if grep -rqs --include='*.list' --include='*.sources' -E "^[^#]*[[:space:]]$suite([[:space:]]|\$)" \
      /etc/apt/sources.list /etc/apt/sources.list.d; then
    apt-get update -qq
    return 0
  fi
  local own=${suite%-backports}
  # deb822 stanzas: "URIs SIGNED-BY" of the first whose Suites holds the release itself.
  entry=$(cat /etc/apt/sources.list.d/*.sources 2>/dev/null | awk -v own="$own" '
    function flush() { if (!done && uri != "" && hit && types ~ /(^| )deb( |$)/) { print uri, key; done = 1 }
                       uri = ""; key = ""; hit = 0; types = "" }
    /^[[:space:]]*$/ { flush(); next }
    /^URIs:/ { uri = $2 }
    /^Types:/ { types = $0; sub(/^Types:[[:space:]]*/, "", types) }
    /^Signed-By:/ { key = $2 }
    /^Suites:/ { for (i = 2; i <= NF; i++) if ($i == own) hit = 1 }
    END { flush() }')
  if [ -z "$entry" ]; then
    # One-line entries: deb [options] URI SUITE COMPONENTS...
    entry=$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null | awk -v own="$own" '
      $1 == "deb" {
        key = ""; i = 2
        if ($2 ~ /^\[/) {
          for (; i <= NF; i++) { if ($i ~ /signed-by=/) { key = $i; sub(/.*signed-by=/, "", key); sub(/\]$/, "", key) }
                                 if ($i ~ /\]$/) { i++; break } }
        }
        if ($(i + 1) == own) { print $i, key; exit }
      }')
  fi
  if [ -z "$entry" ]; then
    echo "setup: no Debian $own entry in the machine's APT sources to take a mirror from, for $suite" >&2
    return 1
  fi
  local uri key
  read -r uri key <<<"$entry"
  echo "setup: adding $suite from $uri ($list)"
  {
    echo "Types: deb"
    echo "URIs: $uri"
    echo "Suites: $suite"
    echo "Components: main"
    [ -z "$key" ] || echo "Signed-By: $key"
  } >"$list"
  apt-get update -qq
}

# One line on how 32-bit programs run, and through which qemu.
say_qemu() {
  local name interpreter version
  read -r name interpreter version <<<"$("$here/binfmt.sh" current)"
  case "$name" in
    native | none) return 0 ;;
    zorvant-*) echo "setup: 32-bit programs run emulated, through qemu-user $version ($interpreter)" ;;
    *)
      if [ "$version" = unknown ] || [ "${version%%.*}" -lt 8 ]; then
        echo "setup: 32-bit programs run through the binfmt registration $name ($interpreter, qemu $version), which is not this project's and is older than qemu 8: Wine is slow and may crash there. To use a current qemu, remove it (echo -1 >/proc/sys/fs/binfmt_misc/$name) and run scripts/setup.sh again."
      else
        echo "setup: 32-bit programs run emulated, through the binfmt registration $name ($interpreter, qemu-user $version)"
      fi
      ;;
  esac
}

if [ "$("$here/binfmt.sh" probe)" != native ]; then
  read -r handler _ <<<"$("$here/binfmt.sh" current)"
  if [ "$(id -u)" -ne 0 ]; then
    [ "$handler" != none ] ||
      echo "setup: this machine runs no 32-bit programs, and only root can make them run through qemu: the 32-bit checks will be skipped"
  elif [ "$handler" = none ] || [ "${handler#zorvant-}" != "$handler" ]; then
    # Ours, or none yet: registered, or replaced where it runs another qemu than the one installed.
    qemu_from_debian && "$here/binfmt.sh" register >/dev/null ||
      echo "setup: this machine runs no 32-bit programs and they cannot be registered with qemu-user: the 32-bit checks will be skipped"
  fi
  say_qemu
fi
