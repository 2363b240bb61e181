#!/usr/bin/env bash
# Makes, once per machine, a Debian bookworm root with Wine for amd64 and i386 inside,
# where 32-bit Windows programs run: the host's Wine is 64-bit only, and its multiarch
# i386 libraries cannot be installed beside the host image's amd64 ones. Prints the
# root's path. The root lives in a cache outside the clone, so every clone and CI run
# on the machine shares it; a stamp written last marks it complete, and a lock keeps
# two makers from building it at once.
#   wine-root.sh
set -euo pipefail
cache=${LARK_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/larkspindle}
root=$cache/wine-root-bookworm
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
  echo "wine-root: making a Debian root with 32- and 64-bit Wine in $root (once per machine, about 2 minutes)" >&2
  # A half-made root from an interrupted run is made again from nothing. mmdebstrap makes
  # the root for both architectures and installs Wine in one call; its mounts live in a
  # private mount namespace, so none can outlast its run and this removal never reaches
  # through one into the host. A mirror in the middle of a sync fails a run: try again.
  attempts=0
  until rm -rf --one-file-system "$root" &&
    unshare --mount --propagation private mmdebstrap --variant=apt --architectures=amd64,i386 \
      --include=wine,wine64,wine32:i386 bookworm "$root" \
      "deb $mirror bookworm main" "deb $mirror bookworm-updates main" >"$cache/mmdebstrap.log" 2>&1; do
    attempts=$((attempts + 1))
    if ((attempts == 3)); then
      echo "wine-root: mmdebstrap failed three times; the last log is $cache/mmdebstrap.log" >&2
      tail -n 20 "$cache/mmdebstrap.log" >&2
      exit 1
    fi
    echo "wine-root: mmdebstrap failed, trying again" >&2
    sleep $((attempts * 10))
  done
  touch "$stamp"
  echo "wine-root: made in $(($(date +%s) - started)) s" >&2
fi
echo "$root"
