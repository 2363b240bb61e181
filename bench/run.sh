#!/usr/bin/env bash
# Builds the benchmark programs and runs them: natively (the engine on an in-memory tree,
# beside Debian's rename) and under Wine (the real file system, shell calls and windows).
#   bench/run.sh [--renames N]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
for preset in release win64; do
  [[ -f build/$preset/CMakeCache.txt ]] || cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target lark-bench >/dev/null
done
echo "== native ($(uname -m), g++ -O3, in-memory file system)"
build/release/bench/lark-bench "$@"
echo "== Windows x86_64 under $(/usr/lib/wine/wine64 --version)"
cmake/wine-session.sh "$PWD/build/win64/wine" \
  timeout -k 5 1800 /usr/lib/wine/wine64 build/win64/bench/lark-bench.exe "$@"
