#!/usr/bin/env bash
# Builds everything and runs every test: the native suite (sanitized), the same suite
# optimised under valgrind, a short run of each fuzz target, then the Windows suites of
# the x86_64 build under 64-bit Wine and of the i686 build under 32-bit Wine, each tree
# in one session of its own. Where this machine cannot run 32-bit programs, the i686
# suites are reported as skipped.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
ctest --preset native
ctest --preset release
ctest --preset fuzz
cmake/wine-session.sh win64 "$PWD/build/win64/wine" ctest --preset win64
cmake/wine-session.sh win32 "$PWD/build/win32/wine" ctest --preset win32
