#!/usr/bin/env bash
# The one place that knows where Wine is. Runs a Windows program, or with --server the
# wineserver, under the Wine of the current session: the host's 64-bit Wine, or the
# Debian root's (32-bit, or 64-bit with WoW64) when the session set LARK_WINE_ROOT.
#   wine.sh PROGRAM [ARGS...]
#   wine.sh --server [ARGS...]
set -uo pipefail
server=0
if [[ ${1:-} == --server ]]; then
  server=1
  shift
fi
if [[ -z ${LARK_WINE_ROOT:-} ]]; then
  if ((server)); then
    exec /usr/lib/wine/wineserver64 "$@"
  fi
  exec /usr/lib/wine/wine64 "$@"
fi
# The 64-bit loader in a 64-bit prefix, so that Wine's own programs (reg, regsvr32) are
# the 64-bit ones and see the 64-bit registry view; it hands 32-bit programs on to the
# 32-bit loader by itself.
loader=/usr/bin/wine
[[ ${WINEARCH:-} == win64 ]] && loader=/usr/lib/wine/wine64
((server)) && loader=/usr/bin/wineserver
# The session mounts the working folder at the same path inside the root.
exec chroot "$LARK_WINE_ROOT" /bin/sh -c 'cd "$0" 2>/dev/null || cd /; exec "$@"' "$PWD" "$loader" "$@"
