#!/usr/bin/env bash
# Runs Wine test programs with Wine's heap validation on (WINEDEBUG=+heap checks every
# block's tail and the heap's structure on each call, and traces every allocation) and
# fails on any heap error. About six minutes for the win32 suite, so it is not part of
# the test command.
#   tests/wine/heap-check.sh [--tree win32|win64] [PROGRAM.exe ...]
#   (default: the x86_64 tree's win32 and entry-point suites)
set -uo pipefail
cd "$(dirname "$0")/../.."
tree=win64
if [[ ${1:-} == --tree ]]; then
  tree=$2
  shift 2
fi
programs=("$@")
((${#programs[@]})) || programs=(build/$tree/tests/lark_win32_tests.exe build/$tree/tests/lark_entry_tests.exe)
export LARK_LINK_LOOP=$PWD/build/$tree/link-loop
cmake/wine-session.sh "$tree" "$PWD/build/$tree/wine" bash -c '
  status=0
  for program in "$@"; do
    echo "== $program under WINEDEBUG=+heap"
    WINEDEBUG=+heap timeout -k 5 1800 cmake/wine.sh "$program" --gtest_brief=1 2>&1 |
      grep -v ":trace:heap:" | tee /tmp/lark-heap-check.log | grep -E "err:heap|PASSED|FAILED"
    [[ ${PIPESTATUS[0]} -eq 0 ]] || status=1
    grep -q "err:heap" /tmp/lark-heap-check.log && status=1
  done
  exit $status
' heap-check "${programs[@]}"
