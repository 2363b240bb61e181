#!/usr/bin/env bash
# Configures (once) and builds the native, win64 and win32 trees.
set -euo pipefail
cd "$(dirname "$0")/.."
for preset in native win64 win32; do
  [[ -f build/$preset/CMakeCache.txt ]] || cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
