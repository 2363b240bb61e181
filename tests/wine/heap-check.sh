#!/usr/bin/env bash
# Runs Wine test programs with Wine's heap validation on (WINEDEBUG=+heap checks every
# block's tail and the heap's structure on each call, and traces every allocation) and
# fails on any heap error. About six minutes for the win32 suite, so it is not part of
# the test command.
#   tests/wine/heap-check.sh [PROGRAM.exe ...]     (default: the win32 and entry-point suites)
set -uo pipefail
cd "$(dirname "$0")/../.."
programs=("$@")
((${#programs[@]})) || programs=(build/win64/tests/lark_win32_tests.exe build/win64/tests/lark_entry_tests.exe)
export LARK_LINK_LOOP=$PWD/build/win64/link-loop
cmake/wine-session.sh "$PWD/build/win64/wine" bash -c '
  status=0
  for program in "$@"; do
    echo "== $program under WINEDEBUG=+heap"
    WINEDEBUG=+heap timeout -k 5 1800 /usr/lib/wine/wine64 "$program" --gtest_brief=1 2>&1 |
      grep -v ":trace:heap:" | tee /tmp/lark-heap-check.log | grep -E "err:heap|PASSED|FAILED"
    [[ ${PIPESTATUS[0]} -eq 0 ]] || status=1
    grep -q "err:heap" /tmp/lark-heap-check.log && status=1
  done
  exit $status
' heap-check "${programs[@]}"
