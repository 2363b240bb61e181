#!/usr/bin/env bash
# Builds everything and runs every test: the native suite (sanitized), the same suite
# optimised under valgrind, a short run of each fuzz target, then the Windows suites of
# the x86_64 build under 64-bit Wine and of the i686 build under 32-bit Wine, each tree
# in one session of its own. Where this machine cannot run 32-bit programs, the i686
# suites are reported as skipped.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
python3 scripts/check_layers.py
# The Debian root that 32-bit Wine runs in is made (once per machine) while the trees
# build: it waits on the network and dpkg, the build on the two cores. A failure here is
# reported again, with its reason, by the first session that needs the root.
root_maker=""
if bash cmake/can-run-32bit.sh 2>/dev/null && [[ $(id -u) -eq 0 ]]; then
  cmake/wine-root.sh >/dev/null &
  root_maker=$!
fi
bash scripts/build.sh
[[ -z $root_maker ]] || wait "$root_maker" || true
ctest --preset native
ctest --preset release
ctest --preset fuzz
cmake/wine-session.sh win64 "$PWD/build/win64/wine" ctest --preset win64
cmake/wine-session.sh win32 "$PWD/build/win32/wine" ctest --preset win32
