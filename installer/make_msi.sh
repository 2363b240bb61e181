#!/usr/bin/env bash
# Builds one of Larkspindle's MSIs with wixl (SCOPE perMachine or perUser), then checks
# it (check_msi.py): its Registry table holds exactly what DllRegisterServer writes for
# each build, where that scope keeps it, it names the product's facts (FACTS, the
# build's facts.wxi), and it keeps Windows Installer's rules. A package that fails is
# removed, so the build fails.
#   make_msi.sh OUT STAGE ROWS_TOOL SCRIPT WXS DLL64 DLL32 ICON VERSION UPGRADE_CODE SITE_URL UNDO64 UNDO32 SCOPE CLSID FACTS
set -euo pipefail
out=$1 stage=$2 rows=$3 script=$4 wxs=$5 dll64=$6 dll32=$7 icon=$8 version=$9 upgrade=${10} site=${11} undo64=${12} undo32=${13} scope=${14} clsid=${15} facts=${16}
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$stage" "$out"
mkdir -p "$stage/x64" "$stage/x86"
# wixl finds sources relative to its working folder only.
cp "$dll64" "$stage/x64/Larkspindle.dll"
cp "$dll32" "$stage/x86/Larkspindle.dll"
cp "$undo64" "$stage/x64/LarkspindleUndo.exe"
cp "$undo32" "$stage/x86/LarkspindleUndo.exe"
cp "$icon" "$stage/larkspindle.ico"
cp "$wxs" "$stage/larkspindle.wxs"
cp "$facts" "$stage/facts.wxi"
# Each DLL's module path as the installer resolves it at install time.
per_user=()
[[ $scope == perUser ]] && per_user=(--per-user)
"$rows" "$script" '[INSTALLDIR]Larkspindle.dll' "${per_user[@]}" --wxi >"$stage/registry-x64.wxi"
"$rows" "$script" '[X86DIR]Larkspindle.dll' "${per_user[@]}" --wxi >"$stage/registry-x86.wxi"
"$rows" "$script" '[INSTALLDIR]Larkspindle.dll' "${per_user[@]}" --rows 64 >"$stage/rows-x64.txt"
"$rows" "$script" '[X86DIR]Larkspindle.dll' "${per_user[@]}" --rows 32 >"$stage/rows-x86.txt"
(cd "$stage" && wixl -a x64 -D "Scope=$scope" -D "Clsid=$clsid" -D "Version=$version" -D "UpgradeCode=$upgrade" \
  -D "SiteUrl=$site" -o package.msi larkspindle.wxs)
python3 "$here/check_msi.py" "$stage/package.msi" "$stage/facts.wxi" "$stage/rows-x64.txt" "$stage/rows-x86.txt"
mv "$stage/package.msi" "$out"
