#!/usr/bin/env bash
# Installs every Debian package that building and testing Larkspindle needs.
# Idempotent: when everything is present it only asks dpkg and returns.
set -euo pipefail
source "$(dirname "$0")/apt.sh"

packages=(
  cmake ninja-build g++ clang
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  mingw-w64-x86-64-dev mingw-w64-i686-dev binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  wine wine64 xvfb xauth imagemagick python3 python3-pefile
  libboost1.81-dev libgtest-dev googletest valgrind nsis libclang-rt-14-dev rename
  mmdebstrap wixl msitools osslsigncode openssl
)
apt_install_missing "${packages[@]}"
