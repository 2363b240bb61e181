#!/usr/bin/env bash
# Registers and unregisters the DLL with Wine's own regsvr32 (the 32-bit one for the
# i686 build) and checks the registry with reg query: the six entries, a second
# registration, two unregistrations, a module path holding a single quote, and one too
# long to name.
#   registration-test.sh KIND PREFIX DLL CLSID
set -uo pipefail
source "$(dirname "$0")/../../cmake/wine-script.sh" "$@"
dll=$3
clsid=$4
run() { timeout -k 5 60 "$wine" "$@" 2>/dev/null | tr -d '\r'; return "${PIPESTATUS[0]}"; }
failures=0
passes=0
check() {  # check DESCRIPTION EXPECTED ACTUAL
  if [[ "$2" == "$3" ]]; then
    passes=$((passes + 1))
  else
    failures=$((failures + 1))
    printf 'FAILED: %s\n  expected: %q\n  actual:   %q\n' "$1" "$2" "$3"
  fi
}
value() {  # value KEY [NAME]: the data of a value, or "missing"
  local out
  if [[ $# -eq 2 ]]; then out=$(run reg query "$1" /v "$2") || { echo missing; return; }
  else out=$(run reg query "$1" /ve) || { echo missing; return; }; fi
  echo "$out" | awk -F'REG_SZ' 'NF > 1 { sub(/^ +/, "", $2); print $2 }'
}
exists() { run reg query "$1" >/dev/null && echo present || echo missing; }

copy_dir=$(mktemp -d /tmp/lark-reg-XXXX)
quoted="$copy_dir/Lark's"
mkdir -p "$quoted"
cp "$dll" "$quoted/Larkspindle.dll"
winpath="Z:$(echo "$quoted/Larkspindle.dll" | tr / '\\')"

for round in 1 2; do
  run regsvr32 /s "$winpath"
  check "regsvr32 round $round" 0 $?
done
check "files handler" "$clsid" "$(value 'HKCR\*\shellex\PropertySheetHandlers\Larkspindle')"
check "folders handler" "$clsid" "$(value 'HKCR\Directory\shellex\PropertySheetHandlers\Larkspindle')"
check "class name" "Larkspindle Class" "$(value "HKCR\\CLSID\\$clsid")"
check "server path, its quote once" "$winpath" "$(value "HKCR\\CLSID\\$clsid\\InprocServer32")"
check "threading model" "Apartment" "$(value "HKCR\\CLSID\\$clsid\\InprocServer32" ThreadingModel)"
check "approved" "Larkspindle" "$(value 'HKLM\Software\Microsoft\Windows\CurrentVersion\Shell Extensions\Approved' "$clsid")"
check "one set after two registrations" 1 "$(run reg query 'HKCR\*\shellex\PropertySheetHandlers' /s | grep -c 'Larkspindle$')"

for round in 1 2; do
  run regsvr32 /s /u "$winpath"
  check "regsvr32 /u round $round" 0 $?
done
check "files handler gone" missing "$(exists 'HKCR\*\shellex\PropertySheetHandlers\Larkspindle')"
check "folders handler gone" missing "$(exists 'HKCR\Directory\shellex\PropertySheetHandlers\Larkspindle')"
check "class gone" missing "$(exists "HKCR\\CLSID\\$clsid")"
check "approval gone" missing "$(value 'HKLM\Software\Microsoft\Windows\CurrentVersion\Shell Extensions\Approved' "$clsid")"
check "NoRemove keys stay" present "$(exists 'HKCR\Directory\shellex\PropertySheetHandlers')"
check "NoRemove keys stay" present "$(exists 'HKLM\Software\Microsoft\Windows\CurrentVersion\Shell Extensions\Approved')"

# A module path of MAX_PATH characters or more would come back cut short, naming another
# file: registration refuses it (regsvr32's 5: the DLL's function failed) and writes nothing.
deep=$copy_dir/deep
while ((${#deep} < 300)); do deep=$deep/abcdefghijklmnopqrstuvwxyz0123456789; done
mkdir -p "$deep"
cp "$dll" "$deep/Larkspindle.dll"
run regsvr32 /s "Z:$(echo "$deep/Larkspindle.dll" | tr / '\\')"
check "a module path of 300 characters is refused" 5 $?
check "nothing registered for it" missing "$(exists "HKCR\\CLSID\\$clsid")"

rm -rf "$copy_dir"
echo "registration: $passes passed, $failures failed"
[[ $failures -eq 0 ]]
