#!/usr/bin/env bash
# Installs every Debian package that building and testing Larkspindle needs.
# Idempotent: when everything is present it only asks dpkg and returns.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  mingw-w64-x86-64-dev mingw-w64-i686-dev binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  wine wine64 xvfb xauth imagemagick python3 python3-pefile
  libboost1.81-dev libgtest-dev googletest valgrind nsis libclang-rt-14-dev rename
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ $status == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  sudo=""
  [[ $(id -u) -eq 0 ]] || sudo=sudo
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q
  $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
