#!/usr/bin/env bash
# Configures (once) and builds every tree: native (sanitized), release (optimised,
# benchmarks, memcheck), fuzz (clang, libFuzzer), win32, winarm64 (Zig), and win64, which
# makes the installers and so comes after the other two Windows trees.
set -euo pipefail
cd "$(dirname "$0")/.."
for preset in native release fuzz win32 winarm64 win64; do
  [[ -f build/$preset/CMakeCache.txt ]] || cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
