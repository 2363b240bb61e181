#!/usr/bin/env bash
# Registers the DLL in the test prefix, runs the real-client test against Wine's own
# Properties sheet, and unregisters it again.
#   client-test.sh PREFIX DLL TEST_PROGRAM
set -uo pipefail
prefix=$1
if [[ ${LARK_WINE_SESSION:-} != "$prefix" ]]; then
  exec "$(dirname "$0")/../../cmake/wine-session.sh" "$prefix" "$0" "$@"
fi
dll="Z:$(echo "$2" | tr / '\\')"
timeout -k 5 60 /usr/lib/wine/wine64 regsvr32 /s "$dll" || { echo "registration failed"; exit 1; }
timeout -k 5 120 /usr/lib/wine/wine64 "$3" --gtest_brief=1
status=$?
timeout -k 5 60 /usr/lib/wine/wine64 regsvr32 /s /u "$dll"
exit $status
