#!/usr/bin/env bash
# CTest's emulator for Windows test programs: runs one program under Wine with a time
# limit, inside the running Wine session or a session of its own.
#   wine-run.sh KIND PREFIX PROGRAM [ARGS...]
set -uo pipefail
kind=$1
prefix=$2
shift 2
if [[ ${LARK_WINE_SESSION:-} != "$prefix" ]]; then
  exec "$(dirname "$0")/wine-session.sh" "$kind" "$prefix" "$0" "$kind" "$prefix" "$@"
fi
if [[ -n ${LARK_WINE_SKIP:-} ]]; then
  echo "skipped: ${LARK_WINE_SKIP}"
  exit 77
fi
exec timeout -k 5 "${LARK_WINE_TIMEOUT:-300}" "$(dirname "$0")/wine.sh" "$@"
