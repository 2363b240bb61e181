#!/usr/bin/env bash
# CTest's emulator for Windows test programs: runs one program under 64-bit Wine with a
# time limit, inside the running Wine session or a session of its own.
#   wine-run.sh PREFIX PROGRAM [ARGS...]
set -uo pipefail
prefix=$1
shift
if [[ ${LARK_WINE_SESSION:-} != "$prefix" ]]; then
  exec "$(dirname "$0")/wine-session.sh" "$prefix" "$0" "$prefix" "$@"
fi
exec timeout -k 5 "${LARK_WINE_TIMEOUT:-300}" /usr/lib/wine/wine64 "$@"
