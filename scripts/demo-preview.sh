#!/usr/bin/env bash
# Runs inside a Wine session: the engine's preview for the sample files, pattern by pattern.
#   demo-preview.sh TREE SAMPLES
set -euo pipefail
cd "$(dirname "$0")/.."
tree=$1
samples=$2
winpath() { echo "Z:$(realpath "$1" | tr / '\\')"; }
preview() { timeout -k 5 60 cmake/wine.sh "build/$tree/lark-preview.exe" "$@"; }

jpg=$(winpath "$samples/IMG_0001.JPG")
draft=$(winpath "$samples/report-draft.txt")
cafe=$(winpath "$samples/Café menu.txt")
minutes=$(winpath "$samples/20261208 minutes.doc")
holiday=$(winpath "$samples/Holiday 2026")

preview "$jpg" "$draft" "$cafe" "$minutes"
preview --match '\.JPG$' --replace '.jpg' "$jpg" "$draft"
preview --match '^(\d{4})(\d{2})(\d{2})' --replace '$3.$2.$1' "$minutes" "$draft"
preview --match '^\w+' --replace '\U$&' "$cafe"
preview --match '(' --replace 'x' "$jpg"
preview --folders --match '(\d+)' --replace '[$1]' "$holiday"
