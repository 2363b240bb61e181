#!/usr/bin/env bash
# Builds everything and runs every test: the native suite (sanitized), the same suite
# optimised under valgrind, a short run of each fuzz target, then the Windows suites
# under 64-bit Wine in one session of their own.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
ctest --preset native
ctest --preset release
ctest --preset fuzz
cmake/wine-session.sh "$PWD/build/win64/wine" ctest --preset win64
