#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian machine (run as root). Safe to run again: it only
# installs what is missing.
set -euo pipefail

packages=(cmake g++ make googletest libgtest-dev libbenchmark-dev g++-mingw-w64-i686 mingw-w64-tools
          wine wine32:i386 xvfb xauth
          clang libclang-rt-dev)  # the fuzz targets (libFuzzer) and the sanitizer tree

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
