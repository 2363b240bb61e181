# Package installation that survives a mirror in the middle of a sync. Sourced by the
# scripts that install packages, on the host and inside the Wine root.

# Installs the named Debian packages that are missing; with none missing it only asks
# dpkg. A failed package-list update ("File has unexpected size ... Mirror sync in
# progress?") is retried a few times; an install that still fails names what is missing.
apt_install_missing() {
  local missing=() p status
  for p in "$@"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ $status == "install ok installed" ]] || missing+=("$p")
  done
  ((${#missing[@]})) || return 0
  echo "installing ${missing[*]}" >&2
  local sudo=""
  [[ $(id -u) -eq 0 ]] || sudo=sudo
  export DEBIAN_FRONTEND=noninteractive
  local attempt
  for attempt in 1 2 3 4 5; do
    # An update that fails part-way can still leave usable lists: try the install first.
    $sudo apt-get update -q || echo "apt-get update failed (attempt $attempt of 5)" >&2
    if $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"; then
      return 0
    fi
    ((attempt < 5)) && sleep $((attempt * 10))
  done
  echo "cannot install: ${missing[*]} (the package mirror did not deliver them in five attempts)" >&2
  return 1
}
