#!/usr/bin/env bash
# Prepares a folder holding a link back to itself, for the Win32 tests. Wine cannot make
# folder links from inside (CreateSymbolicLinkW reports success and makes nothing), so
# the link is a Unix one made here, which Wine's Z: drive shows as it is.
set -euo pipefail
root=$1
rm -rf "$root"
mkdir -p "$root/Top"
echo a >"$root/Top/a.txt"
ln -s ../Top "$root/Top/Loop"
