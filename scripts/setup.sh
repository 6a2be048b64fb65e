#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian machine (run as root). Safe to run again: it only
# installs what is missing. Where the kernel runs no 32-bit programs, it makes them run through qemu-user
# (scripts/binfmt.sh) when it can, and says which way 32-bit programs run.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"

packages=(cmake g++ make googletest libgtest-dev libbenchmark-dev mingw-w64-tools
          g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32:i386 wine64 xvfb xauth
          zip unzip                # the release zip (scripts/package.sh)
          clang libclang-rt-dev)  # the fuzz targets (libFuzzer) and the sanitizer tree

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

case "$("$here/binfmt.sh" probe)" in
  native) ;;
  emulated) echo "setup: 32-bit programs run emulated (qemu-user), slowly" ;;
  none)
    if [ "$(id -u)" -ne 0 ]; then
      echo "setup: this machine runs no 32-bit programs, and only root can make them run through qemu: the 32-bit checks will be skipped"
    else
      install qemu-user-static
      if "$here/binfmt.sh" register >/dev/null; then
        echo "setup: this kernel runs no 32-bit programs; they now run emulated through qemu-user, slowly"
      else
        echo "setup: this machine runs no 32-bit programs and they cannot be registered with qemu-user: the 32-bit checks will be skipped"
      fi
    fi
    ;;
esac
