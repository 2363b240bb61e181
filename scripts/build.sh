#!/usr/bin/env bash
# Configures (once) and builds the native, win32 and win64 trees; the win64 tree
# makes the installer, which carries the win32 DLL too.
set -euo pipefail
cd "$(dirname "$0")/.."
for preset in native win32 win64; do
  [[ -f build/$preset/CMakeCache.txt ]] || cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
