#!/usr/bin/env bash
# Builds everything and runs every test: the native suite (sanitized), then the
# Windows suites under 64-bit Wine in one session of their own.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
ctest --preset native
cmake/wine-session.sh "$PWD/build/win64/wine" ctest --preset win64
