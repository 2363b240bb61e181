#!/usr/bin/env bash
# The quick start's main job: installs what is missing, builds everything, and for each
# build (x86_64 under 64-bit Wine, i686 under 32-bit Wine, ARM64 under ARM64 Wine where
# this machine runs aarch64 programs through qemu-user) registers the extension in
# that tree's private Wine prefix and opens Wine's own Properties sheet of sample files
# with the Rename tab in front.
#   run.sh           show the page (on $DISPLAY when set, else on Xvfb), write screenshots
#   run.sh --demo    also type a pattern, run Test and Rename, print the listings, and take
#                    the rename back with the Undo program
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
echo "Windows installer: $(ls "$PWD"/build/win64/bin/Larkspindle-*-setup.exe)"

mode=()
[[ ${1:-} == --demo ]] && mode=(--demo)
stay=()
# A person with a display gets the sheet to use; otherwise it is closed after the shot.
if [[ -n ${DISPLAY:-} && ${1:-} != --demo ]]; then
  export LARK_WINE_DISPLAY=user
  stay=(--stay)
fi
export LARK_RUN_ARGS="${stay[*]} ${mode[*]}"

for tree in win64 win32 winarm64; do
  samples=$PWD/build/$tree/samples
  rm -rf "$samples"
  mkdir -p "$samples/Holiday 2026"
  for name in "IMG_0001.JPG" "IMG_0002.JPG" "report-draft.txt" "Café menu.txt" "20261208 minutes.doc"; do
    echo "$name" >"$samples/$name"
  done
  echo photo >"$samples/Holiday 2026/IMG_0003.JPG"
  shot=$PWD/build/rename-page-$tree.bmp
  rm -f "$shot"
  echo "== the $tree build"
  cmake/wine-session.sh "$tree" "$PWD/build/$tree/wine" bash -c '
    set -e
    tree=$1 samples=$2 shot=$3
    [[ -n ${LARK_WINE_SKIP:-} ]] && { echo "skipped: $LARK_WINE_SKIP"; exit 0; }
    windows() { echo "Z:$1" | tr / "\\\\"; }
    timeout -k 5 60 cmake/wine.sh regsvr32 /s "$(windows "$PWD/build/$tree/bin/Larkspindle.dll")"
    echo "registered $(windows "$PWD/build/$tree/bin/Larkspindle.dll") in the private Wine prefix"
    bash scripts/demo-preview.sh "$tree" "$samples"
    timeout -k 5 600 cmake/wine.sh "build/$tree/lark-show.exe" $LARK_RUN_ARGS "$(windows "$shot")" \
      "$(windows "$samples")" IMG_0001.JPG IMG_0002.JPG report-draft.txt
    if [[ " $LARK_RUN_ARGS " == *" --demo "* ]]; then
      echo "LarkspindleUndo /last /quiet, from the journal the Rename wrote:"
      status=0
      timeout -k 5 120 cmake/wine.sh "build/$tree/bin/LarkspindleUndo.exe" /last /quiet || status=$?
      echo "exit code $status; the samples now: $(cd "$samples" && ls | tr "\n" "|")"
    fi
  ' run "$tree" "$samples" "$shot"
  if [[ -f $shot ]] && convert "$shot" "${shot%.bmp}.png" 2>/dev/null; then
    echo "screenshot of the $tree page: ${shot%.bmp}.png"
  fi
done
