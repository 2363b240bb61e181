#!/usr/bin/env bash
# Exits 0 when this machine runs 32-bit x86 programs. Some kernels refuse them ("32-bit
# emulation disabled"); which ones is not told by the version, so a five-instruction
# static i386 program is built and run. Exits 1 when it cannot run, 2 when it cannot
# even be built. LARK_NO_32BIT=1 answers no, to try that path.
set -uo pipefail
[[ ${LARK_NO_32BIT:-0} == 1 ]] && exit 1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '.globl _start\n_start:\n  movl $1, %%eax\n  movl $42, %%ebx\n  int $0x80\n' >"$work/exit42.s"
if ! as --32 "$work/exit42.s" -o "$work/exit42.o" || ! ld -m elf_i386 "$work/exit42.o" -o "$work/exit42"; then
  echo "can-run-32bit: cannot build the i386 probe (binutils missing?)" >&2
  exit 2
fi
"$work/exit42" 2>/dev/null
[[ $? -eq 42 ]]
