#!/usr/bin/env bash
# Builds Larkspindle-<version>-x64.msi with wixl, then checks that its Registry table
# holds exactly what DllRegisterServer writes for each build; a package that does not
# is removed, so the build fails.
#   make_msi.sh OUT STAGE ROWS_TOOL SCRIPT WXS DLL64 DLL32 ICON VERSION UPGRADE_CODE SITE_URL UNDO64 UNDO32
set -euo pipefail
out=$1 stage=$2 rows=$3 script=$4 wxs=$5 dll64=$6 dll32=$7 icon=$8 version=$9 upgrade=${10} site=${11} undo64=${12} undo32=${13}
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
# Each DLL's module path as the installer resolves it at install time.
"$rows" "$script" '[INSTALLDIR]Larkspindle.dll' --wxi >"$stage/registry-x64.wxi"
"$rows" "$script" '[X86DIR]Larkspindle.dll' --wxi >"$stage/registry-x86.wxi"
"$rows" "$script" '[INSTALLDIR]Larkspindle.dll' --rows 64 >"$stage/rows-x64.txt"
"$rows" "$script" '[X86DIR]Larkspindle.dll' --rows 32 >"$stage/rows-x86.txt"
(cd "$stage" && wixl -a x64 -D "Version=$version" -D "UpgradeCode=$upgrade" -D "SiteUrl=$site" \
  -o package.msi larkspindle.wxs)
python3 "$here/check_msi.py" "$stage/package.msi" "$stage/rows-x64.txt" "$stage/rows-x86.txt"
mv "$stage/package.msi" "$out"
