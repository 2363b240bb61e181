#!/usr/bin/env bash
# Exits 0 when this machine runs aarch64 Linux programs, as ARM64 Wine is. They run
# through Debian's qemu-user-static; when binfmt_misc does not yet hand them to it, this
# registers it (root only) with the line that package ships for aarch64, and for no other
# machine: a registration for i386 would change how this machine runs its own 32-bit
# programs. A five-instruction static aarch64 program then tells whether they really run.
# Exits 1, saying why, when they cannot; 2 when the probe cannot even be built.
# LARK_NO_ARM64=1 answers no, to try that path.
set -uo pipefail
if [[ ${LARK_NO_ARM64:-0} == 1 ]]; then
  echo "can-run-arm64: LARK_NO_ARM64=1" >&2
  exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '.globl _start\n_start:\n  mov x0, #42\n  mov x8, #93\n  svc #0\n' >"$work/exit42.s"
if ! clang --target=aarch64-linux-gnu -nostdlib -static -fuse-ld=lld "$work/exit42.s" -o "$work/exit42" 2>"$work/log"; then
  echo "can-run-arm64: cannot build the aarch64 probe (clang or lld missing?): $(head -c 300 "$work/log")" >&2
  exit 2
fi
"$work/exit42" 2>/dev/null
[[ $? -eq 42 ]] && exit 0

binfmt=/proc/sys/fs/binfmt_misc
line_file=/usr/lib/binfmt.d/qemu-aarch64.conf
why=""
if [[ $(id -u) -ne 0 ]]; then
  why="registering qemu-user for aarch64 with binfmt_misc needs root"
elif [[ ! -r $line_file ]]; then
  why="$line_file is missing (is qemu-user-static installed?)"
elif ! { [[ -e $binfmt/register ]] || mount -t binfmt_misc binfmt_misc "$binfmt" 2>"$work/log"; }; then
  why="binfmt_misc cannot be mounted: $(head -c 300 "$work/log")"
elif [[ -e $binfmt/qemu-aarch64 ]]; then
  # Someone registered it and yet the probe did not run: a disabled or broken entry of
  # theirs, which is not this script's to replace.
  why="$binfmt/qemu-aarch64 is registered but does not run aarch64 programs ($(head -n1 "$binfmt/qemu-aarch64"))"
elif ! grep -v '^#' "$line_file" | head -n1 >"$binfmt/register" 2>"$work/log"; then
  why="binfmt_misc refused the registration: $(head -c 300 "$work/log")"
else
  echo "can-run-arm64: registered qemu-user for aarch64 programs with binfmt_misc" >&2
  "$work/exit42" 2>/dev/null
  [[ $? -eq 42 ]] && exit 0
  why="qemu-user is registered for aarch64, but the probe did not run"
fi
echo "can-run-arm64: this machine cannot run aarch64 programs: $why" >&2
exit 1
