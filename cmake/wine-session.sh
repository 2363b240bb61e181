#!/usr/bin/env bash
# Runs a command inside a Wine session of its own: an Xvfb display, a private prefix
# (made once and kept), and a persistent wineserver. At the end it stops only what it
# started: its Xvfb by pid and the wineserver of its own prefix.
#   wine-session.sh KIND PREFIX COMMAND [ARGS...]
# KIND is the Wine and prefix the session runs:
#   win64  the host's 64-bit Wine, a 64-bit prefix
#   win32  the Debian root's Wine, a 32-bit-only prefix (32-bit Windows)
#   wow64  the Debian root's Wine, a 64-bit prefix with the 32-bit subsystem
#   winarm64  the arm64 Debian root's Wine under qemu-user, a 64-bit ARM64 prefix
# The root's sessions mount what the root needs in a private mount namespace, which
# ends with the session however the session ends. On a machine that cannot run 32-bit
# programs (for winarm64: aarch64 programs, or where the arm64 root cannot be made) they
# say so once and run the command with LARK_WINE_SKIP set; the test runners then report
# their tests as skipped (exit 77), never as passed.
set -uo pipefail

kind=$1
prefix=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/.." && pwd)

if [[ ${LARK_WINE_SESSION:-} == "$prefix" ]]; then
  exec "$@"
fi

case $kind in
  win64) unset LARK_WINE_ROOT LARK_WINE_NAMESPACE LARK_WINE_SKIP ;;
  win32 | wow64 | winarm64)
    if [[ -z ${LARK_WINE_NAMESPACE:-} ]]; then
      programs="32-bit programs" root_kind=""
      [[ $kind == winarm64 ]] && programs="aarch64 programs" root_kind=arm64
      bash "$here/can-run-${root_kind:-32bit}.sh"
      case $? in
        0) ;;
        1)
          echo "wine-session: this machine cannot run $programs; the $kind tests are skipped" >&2
          export LARK_WINE_SKIP="this machine cannot run $programs" LARK_WINE_SESSION=$prefix
          exec "$@"
          ;;
        *) exit 1 ;;
      esac
      if [[ $(id -u) -ne 0 ]]; then
        echo "wine-session: the $kind Wine runs in a Debian root entered with unshare and chroot, which need root: run as root" >&2
        exit 1
      fi
      if [[ $kind == winarm64 ]]; then
        # ARM64 Wine is an addition that few machines can run at all: a root that cannot be
        # made skips its tests, with the reason, rather than failing the others' run.
        root=$("$here/wine-root.sh" arm64) || {
          echo "wine-session: the arm64 Debian root could not be made; the $kind tests are skipped" >&2
          export LARK_WINE_SKIP="the arm64 Debian root with ARM64 Wine could not be made" LARK_WINE_SESSION=$prefix
          exec "$@"
        }
      else
        root=$("$here/wine-root.sh") || { echo "wine-session: the Debian root with 32-bit Wine could not be made" >&2; exit 1; }
      fi
      export LARK_WINE_ROOT=$root LARK_WINE_NAMESPACE=$$
      exec unshare --mount --propagation private "$0" "$kind" "$prefix" "$@"
    fi
    # Inside the private namespace: what the root's Wine needs to see, at the same paths.
    root=$LARK_WINE_ROOT
    mount -t proc proc "$root/proc" && mount --rbind /dev "$root/dev" && mount --bind /tmp "$root/tmp" || {
      echo "wine-session: cannot mount into $root" >&2
      exit 1
    }
    mounted=(/tmp)
    for folder in "$top" "$(dirname "$prefix")" "$PWD"; do
      for done_folder in "${mounted[@]}"; do
        [[ $folder == "$done_folder" || $folder == "$done_folder"/* ]] && continue 2
      done
      mkdir -p "$root$folder" && mount --bind "$folder" "$root$folder" || {
        echo "wine-session: cannot mount $folder into $root" >&2
        exit 1
      }
      mounted+=("$folder")
    done
    ;;
  *)
    echo "wine-session: unknown kind $kind (win64, win32, wow64 or winarm64)" >&2
    exit 2
    ;;
esac

wine=$here/wine.sh
export WINEPREFIX=$prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEARCH=win64
[[ $kind == win32 ]] && export WINEARCH=win32

xvfb_pid=""
cleanup() {
  timeout -k 5 20 "$wine" --server -k 2>/dev/null
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
ready=$prefix/.lark-prefix-2  # the prefix's settings below; a new name remakes older prefixes
if [[ ! -f $ready ]]; then
  rm -rf "$prefix"
  echo "wine-session: creating the $kind Wine prefix $prefix" >&2
  timeout -k 5 180 "$wine" wineboot -i >/dev/null 2>&1 || { echo "wine-session: wineboot failed" >&2; exit 1; }
  # Without a window manager every hidden top-level window stalls for two seconds.
  timeout -k 5 60 "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  # A crash would start Wine's debugger, whose dialog waits on Xvfb until the time limit:
  # name a debugger that does not exist, and a crashed program ends at once, non-zero.
  for view in 64 32; do
    timeout -k 5 60 "$wine" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger \
      /t REG_SZ /d 'lark-no-debugger.exe %ld %ld' /f "/reg:$view" >/dev/null 2>&1
    timeout -k 5 60 "$wine" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Auto \
      /t REG_SZ /d 1 /f "/reg:$view" >/dev/null 2>&1
  done
  timeout -k 5 60 "$wine" --server -w
  touch "$ready"
fi

"$wine" --server -p
# The first program of a session starts Wine's own services (devices, the desktop),
# which live as long as the wineserver. Start them here with no terminal or pipe of
# ours, or a caller such as CTest waits for them to close their output forever.
timeout -k 5 60 "$wine" cmd.exe /c exit </dev/null >/dev/null 2>&1
export LARK_WINE_SESSION=$prefix
"$@"
