#!/usr/bin/env bash
# Exits 0 when this machine runs 32-bit x86 programs. Some kernels refuse them ("32-bit
# emulation disabled"); which ones is not told by the version, so a small static i386
# program is built and run. Exits 1 when it cannot run, 2 when it cannot even be built.
# LARK_NO_32BIT=1 answers no, to try that path.
#   can-run-32bit.sh [--how]
# --how prints how they run: "natively", "via emulation" (a user-mode emulator such as
# qemu-i386 registered with binfmt_misc, which the kernel hands the programs it refuses)
# or "not at all". The probe tells the two apart by the machine that uname reports to it:
# a 64-bit kernel says x86_64 to its 32-bit programs, an emulator names its own CPU.
set -uo pipefail
show=0
[[ ${1:-} == --how ]] && show=1
how() { if [[ $show == 1 ]]; then echo "$1"; fi; }
if [[ ${LARK_NO_32BIT:-0} == 1 ]]; then
  how "not at all"
  exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# uname(2) fills six 65-byte fields; the fifth, at 260, is the machine. Exit 42 for
# x86_64, 43 for anything else.
cat >"$work/probe.s" <<'ASM'
.globl _start
_start:
  movl $122, %eax
  movl $utsname, %ebx
  int $0x80
  movl $42, %ebx
  cmpb $0x78, utsname+260
  je 1f
  movl $43, %ebx
1:
  movl $1, %eax
  int $0x80
.lcomm utsname, 390
ASM
if ! as --32 "$work/probe.s" -o "$work/probe.o" || ! ld -m elf_i386 "$work/probe.o" -o "$work/probe"; then
  echo "can-run-32bit: cannot build the i386 probe (binutils missing?)" >&2
  exit 2
fi
"$work/probe" 2>/dev/null
case $? in
  42) how natively ;;
  43) how "via emulation" ;;
  *)
    how "not at all"
    exit 1
    ;;
esac
exit 0
