#!/usr/bin/env bash
# The quick start's main job: installs what is missing, builds everything, and shows
# the rename preview on a folder of sample files under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh

samples=build/samples
rm -rf "$samples"
mkdir -p "$samples/Holiday 2026"
for name in "IMG_0001.JPG" "IMG_0002.JPG" "report-draft.txt" "Café menu.txt" "20261208 minutes.doc"; do
  echo "$name" >"$samples/$name"
done
echo photo >"$samples/Holiday 2026/IMG_0003.JPG"

cmake/wine-session.sh "$PWD/build/win64/wine" bash scripts/demo-preview.sh
