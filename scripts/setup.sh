#!/usr/bin/env bash
# Installs every Debian package that building and testing Larkspindle needs, and the
# ARM64 tree's Zig from the npm registry; registers qemu-user for aarch64 programs, which
# ARM64 Wine is. Idempotent: when everything is present it only asks dpkg and returns.
set -euo pipefail
source "$(dirname "$0")/apt.sh"

packages=(
  cmake ninja-build g++ clang
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  mingw-w64-x86-64-dev mingw-w64-i686-dev binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  wine wine64 xvfb xauth imagemagick python3 python3-pefile
  libboost1.81-dev libgtest-dev googletest valgrind nsis libclang-rt-14-dev rename
  mmdebstrap wixl msitools osslsigncode openssl
  llvm lld qemu-user-static arch-test
)
apt_install_missing "${packages[@]}"
command -v npm >/dev/null || apt_install_missing nodejs npm

# The ARM64 tree's Zig, from the npm registry at the version and integrity that
# cmake/zig/package-lock.json records. With that lock installed already, the network is
# never asked; a failed download is tried again, as apt's are.
zig=$(cd "$(dirname "$0")/../cmake/zig" && pwd)
if ! cmp -s "$zig/package-lock.json" "$zig/node_modules/.lark-installed-lock"; then
  echo "installing Zig from cmake/zig/package-lock.json" >&2
  for attempt in 1 2 3 4 5; do
    if (cd "$zig" && npm ci --ignore-scripts --no-audit --no-fund); then
      cp "$zig/package-lock.json" "$zig/node_modules/.lark-installed-lock"
      break
    fi
    if ((attempt == 5)); then
      echo "cannot install Zig: npm ci failed five times" >&2
      exit 1
    fi
    sleep $((attempt * 10))
  done
fi

# ARM64 Wine's programs run through qemu-user: registered here for aarch64 alone, once
# per boot. Where that is refused the ARM64 suites are skipped, and this says why.
bash "$(dirname "$0")/../cmake/can-run-arm64.sh" || echo "setup: the ARM64 Wine suites will be skipped" >&2
