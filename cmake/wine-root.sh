#!/usr/bin/env bash
# Makes, once per machine, a Debian bookworm root with Wine for amd64 and i386 inside,
# where 32-bit Windows programs run: the host's Wine is 64-bit only, and its multiarch
# i386 libraries cannot be installed beside the host image's amd64 ones. With arm64, a
# root of arm64 Debian with its Wine, where ARM64 Windows programs run under qemu-user
# (cmake/can-run-arm64.sh registers it first). Prints the root's path. The root lives in
# a cache outside the clone, so every clone and CI run on the machine shares it; a stamp
# written last marks it complete, and a lock keeps two makers from building it at once.
#   wine-root.sh [arm64]
set -euo pipefail
cache=${LARK_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/larkspindle}
root=$cache/wine-root-bookworm
architectures=amd64,i386
wine_packages=wine,wine64,wine32:i386
what="32- and 64-bit Wine (once per machine, about 2 minutes)"
log=$cache/mmdebstrap.log
if [[ ${1:-} == arm64 ]]; then
  root=$cache/wine-root-bookworm-arm64
  architectures=arm64
  wine_packages=wine,wine64
  what="ARM64 Wine (once per machine, about 4 minutes: its packages set up under emulation)"
  log=$cache/mmdebstrap-arm64.log
fi
stamp=$root/.lark-root-ready

# The Debian archive that this machine's own apt takes bookworm from, in either format of
# its sources; LARK_DEBIAN_MIRROR names another.
host_mirror() {
  python3 - <<'PYTHON'
import glob, re
suite = "bookworm"
for path in ["/etc/apt/sources.list"] + sorted(glob.glob("/etc/apt/sources.list.d/*.list")):
    try:
        lines = open(path, encoding="utf-8").read().splitlines()
    except OSError:
        continue
    for line in lines:
        found = re.match(r"\s*deb\s+(?:\[[^\]]*\]\s+)?(\S+)\s+(\S+)", line)
        if found and found.group(2) == suite:
            print(found.group(1))
            raise SystemExit(0)
for path in sorted(glob.glob("/etc/apt/sources.list.d/*.sources")):
    for stanza in re.split(r"\n\s*\n", open(path, encoding="utf-8").read()):
        fields = dict(re.findall(r"^([A-Za-z-]+):\s*(.*)$", stanza, re.MULTILINE))
        if "deb" in fields.get("Types", "").split() and suite in fields.get("Suites", "").split():
            print(fields["URIs"].split()[0])
            raise SystemExit(0)
raise SystemExit(1)
PYTHON
}

if [[ -f $stamp ]]; then
  echo "$root"
  exit 0
fi
mirror=${LARK_DEBIAN_MIRROR:-$(host_mirror)} || {
  echo "wine-root: this machine's apt sources name no Debian archive for bookworm; set LARK_DEBIAN_MIRROR" >&2
  exit 1
}
mkdir -p "$cache"
exec 9>"$cache/wine-root.lock"
flock 9
if [[ ! -f $stamp ]]; then
  started=$(date +%s)
  echo "wine-root: making a Debian root in $root with $what" >&2
  # A half-made root from an interrupted run is made again from nothing. mmdebstrap makes
  # the root for both architectures and installs Wine in one call; its mounts live in a
  # private mount namespace, so none can outlast its run and this removal never reaches
  # through one into the host. A mirror in the middle of a sync fails a run: try again.
  attempts=0
  until rm -rf --one-file-system "$root" &&
    unshare --mount --propagation private mmdebstrap --variant=apt --architectures=$architectures \
      --include=$wine_packages bookworm "$root" \
      "deb $mirror bookworm main" "deb $mirror bookworm-updates main" >"$log" 2>&1; do
    attempts=$((attempts + 1))
    if ((attempts == 3)); then
      echo "wine-root: mmdebstrap failed three times; the last log is $log" >&2
      tail -n 20 "$log" >&2
      exit 1
    fi
    echo "wine-root: mmdebstrap failed, trying again" >&2
    sleep $((attempts * 10))
  done
  touch "$stamp"
  echo "wine-root: made in $(($(date +%s) - started)) s" >&2
fi
echo "$root"
