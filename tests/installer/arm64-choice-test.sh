#!/usr/bin/env bash
# The setup program's choice of the 64-bit files: compiled to pretend it runs on ARM64
# Windows (which Wine cannot pretend), it installs the ARM64 DLL and Undo program, and
# the x86 ones beside them; the installer test holds the real one to the x64 files. For
# the current user, so that no regsvr32 of the system's architecture is needed; then
# the uninstaller removes what it put there.
#   arm64-choice-test.sh KIND PREFIX PRETEND_SETUP ARM64_DLL ARM64_UNDO X86_DLL X86_UNDO
set -uo pipefail
source "$(dirname "$0")/../../cmake/wine-script.sh" "$@"
setup=$3
failures=0
check() {  # DESCRIPTION EXPECTED ACTUAL
  if [[ $2 != "$3" ]]; then
    failures=$((failures + 1))
    printf 'FAILED: %s\n  expected: %s\n  actual:   %s\n' "$1" "$2" "$3"
  fi
}
same() { cmp -s "$1" "$2" && echo same || echo "differs from $1"; }

folder=$(mktemp -d /tmp/lark-arm64-setup-XXXX)
trap 'rm -rf "$folder"' EXIT
windows="Z:$(echo "$folder" | tr / '\\')"
timeout -k 5 300 "$wine" "$setup" /S /CurrentUser "/D=$windows" >/dev/null 2>&1
check "silent install for the current user, exit code" 0 $?
check "Larkspindle.dll is the ARM64 build" same "$(same "$4" "$folder/Larkspindle.dll")"
check "LarkspindleUndo.exe is the ARM64 build" same "$(same "$5" "$folder/LarkspindleUndo.exe")"
check "x86\\Larkspindle.dll is the x86 build" same "$(same "$6" "$folder/x86/Larkspindle.dll")"
check "x86\\LarkspindleUndo.exe is the x86 build" same "$(same "$7" "$folder/x86/LarkspindleUndo.exe")"

# _?= runs the uninstaller in place, so that this waits for it.
timeout -k 5 300 "$wine" "$folder/Uninstall.exe" /S "_?=$windows" >/dev/null 2>&1
check "silent uninstall, exit code" 0 $?
check "files left after the uninstall" "Uninstall.exe" "$(cd "$folder" && find . -type f -printf '%P\n' | sort | tr '\n' ' ' | sed 's/ $//')"

if ((failures)); then
  echo "arm64-choice: $failures checks failed"
  exit 1
fi
echo "arm64-choice: the setup program put the ARM64 builds in place on pretended ARM64 Windows and took them away"
