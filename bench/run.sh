#!/usr/bin/env bash
# Builds the benchmark programs and runs them: natively (the engine on an in-memory tree,
# beside Debian's rename) and under Wine (the real file system, shell calls and windows),
# the x86_64 build under 64-bit Wine and the i686 build under 32-bit Wine.
#   bench/run.sh [--renames N]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
for preset in release win64 win32; do
  [[ -f build/$preset/CMakeCache.txt ]] || cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target lark-bench >/dev/null
done
echo "== native ($(uname -m), g++ -O3, in-memory file system)"
build/release/bench/lark-bench "$@"
for tree in win64 win32; do
  echo "== Windows $tree under Wine"
  cmake/wine-session.sh "$tree" "$PWD/build/$tree/wine" bash -c '
    [[ -n ${LARK_WINE_SKIP:-} ]] && { echo "skipped: $LARK_WINE_SKIP"; exit 0; }
    cmake/wine.sh --version
    timeout -k 5 1800 cmake/wine.sh "build/$0/bench/lark-bench.exe" "$@"
  ' "$tree" "$@"
done
