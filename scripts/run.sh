#!/usr/bin/env bash
# The quick start's main job: installs what is missing, builds everything, registers the
# x86_64 extension in the build tree's private Wine prefix and opens Wine's own
# Properties sheet of sample files with the Rename tab in front.
#   run.sh           show the page (on $DISPLAY when set, else on Xvfb), write a screenshot
#   run.sh --demo    also type a pattern, run Test and Rename, and print the listings
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
echo "Windows installer: $PWD/build/win64/bin/Larkspindle-1.0.0.3-setup.exe"

samples=$PWD/build/samples
rm -rf "$samples"
mkdir -p "$samples/Holiday 2026"
for name in "IMG_0001.JPG" "IMG_0002.JPG" "report-draft.txt" "Café menu.txt" "20261208 minutes.doc"; do
  echo "$name" >"$samples/$name"
done
echo photo >"$samples/Holiday 2026/IMG_0003.JPG"

mode=()
[[ ${1:-} == --demo ]] && mode=(--demo)
stay=()
# A person with a display gets the sheet to use; otherwise it is closed after the shot.
if [[ -n ${DISPLAY:-} && ${1:-} != --demo ]]; then
  export LARK_WINE_DISPLAY=user
  stay=(--stay)
fi
shot=$PWD/build/rename-page.bmp
winpath() { echo "Z:$(echo "$1" | tr / '\\')"; }
export samples shot
cmake/wine-session.sh "$PWD/build/win64/wine" bash -c '
  set -e
  wine=/usr/lib/wine/wine64
  dll=$(echo "Z:$PWD/build/win64/bin/Larkspindle.dll" | tr / "\\\\")
  timeout -k 5 60 $wine regsvr32 /s "$dll"
  echo "registered $dll in the private Wine prefix"
  bash scripts/demo-preview.sh
  timeout -k 5 600 $wine build/win64/lark-show.exe "$@" "$(echo "Z:$shot" | tr / "\\\\")" \
    "$(echo "Z:$samples" | tr / "\\\\")" IMG_0001.JPG IMG_0002.JPG report-draft.txt
' run "${stay[@]}" "${mode[@]}"
convert "$shot" "${shot%.bmp}.png" 2>/dev/null && echo "screenshot of the page: ${shot%.bmp}.png"
