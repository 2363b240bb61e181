#!/usr/bin/env bash
# Configures (once) and builds every tree: native (sanitized), release (optimised,
# benchmarks, memcheck), fuzz (clang, libFuzzer), win32, and win64, which makes the
# installer and so comes after win32.
set -euo pipefail
cd "$(dirname "$0")/.."
for preset in native release fuzz win32 win64; do
  [[ -f build/$preset/CMakeCache.txt ]] || cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
