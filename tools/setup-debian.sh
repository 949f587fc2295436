#!/usr/bin/env bash
# Installs every Debian package that building, testing and running the updater needs,
# on a fresh Debian 12 machine, as root. Safe to run again: apt skips what is there.
set -euo pipefail

if [ "$(id -u)" -ne 0 ]; then
  echo "setup-debian.sh: run as root (it installs Debian packages)" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive

# wine32 is an i386 package: the updater is a 32-bit program.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi

packages=(
  cmake ninja-build g++ googletest python3
  g++-mingw-w64-i686-posix binutils-mingw-w64-i686 g++-mingw-w64-x86-64-posix
  wine wine64 wine32:i386
  xvfb x11-utils imagemagick fonts-ipafont-gothic locales icoutils
  clang-14 libclang-rt-14-dev libbenchmark-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ "${#missing[@]}" -gt 0 ]; then
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Wine takes code page 932 from a Japanese locale; non-ASCII file names need it generated.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
