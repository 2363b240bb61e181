#!/usr/bin/env bash
# Registers the DLL in the test prefix, runs the real-client test against Wine's own
# Properties sheet, and unregisters it again.
#   client-test.sh KIND PREFIX DLL TEST_PROGRAM
set -uo pipefail
source "$(dirname "$0")/../../cmake/wine-script.sh" "$@"
dll="Z:$(echo "$3" | tr / '\\')"
export LARK_EXPECT_DLL=$dll
timeout -k 5 60 "$wine" regsvr32 /s "$dll" || { echo "registration failed"; exit 1; }
timeout -k 5 120 "$wine" "$4" --gtest_brief=1
status=$?
timeout -k 5 60 "$wine" regsvr32 /s /u "$dll"
exit $status
