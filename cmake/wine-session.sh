#!/usr/bin/env bash
# Runs a command inside a Wine session of its own: an Xvfb display, a private prefix
# (made once and kept), and a persistent wineserver. At the end it stops only what it
# started: its Xvfb by pid and the wineserver of its own prefix.
#   wine-session.sh PREFIX COMMAND [ARGS...]
set -uo pipefail

prefix=$1
shift

if [[ ${LARK_WINE_SESSION:-} == "$prefix" ]]; then
  exec "$@"
fi

export WINEPREFIX=$prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEARCH=win64
wineserver=/usr/lib/wine/wineserver64
[[ -x $wineserver ]] || wineserver=wineserver

xvfb_pid=""
cleanup() {
  WINEPREFIX=$prefix timeout -k 5 20 "$wineserver" -k 2>/dev/null
  if [[ -n $xvfb_pid ]]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
  [[ -n ${display_file:-} ]] && rm -f "$display_file"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The display must exist before the prefix's first process, or Wine's desktop starts
# without one and every later window silently fails to appear.
if [[ ${LARK_WINE_DISPLAY:-xvfb} == xvfb || -z ${DISPLAY:-} ]]; then
  display_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" 2>/dev/null &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [[ -s $display_file ]] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.05
  done
  [[ -s $display_file ]] || { echo "wine-session: Xvfb did not start" >&2; exit 1; }
  export DISPLAY=":$(head -n1 "$display_file")"
fi

mkdir -p "$(dirname "$prefix")"
if [[ ! -f $prefix/.lark-ready ]]; then
  rm -rf "$prefix"
  echo "wine-session: creating the Wine prefix $prefix" >&2
  timeout -k 5 180 /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 || { echo "wine-session: wineboot failed" >&2; exit 1; }
  # Without a window manager every hidden top-level window stalls for two seconds.
  timeout -k 5 60 /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  timeout -k 5 60 "$wineserver" -w
  touch "$prefix/.lark-ready"
fi

"$wineserver" -p
# The first program of a session starts Wine's own services (devices, the desktop),
# which live as long as the wineserver. Start them here with no terminal or pipe of
# ours, or a caller such as CTest waits for them to close their output forever.
timeout -k 5 60 /usr/lib/wine/wine64 cmd.exe /c exit </dev/null >/dev/null 2>&1
export LARK_WINE_SESSION=$prefix
"$@"
