#!/usr/bin/env bash
# Runs a command with the version-file test server listening on a free loopback port,
# given to the command as LARK_TEST_SERVER_PORT; stops the server afterwards.
set -uo pipefail
port_file=$(mktemp)
timeout -k 5 600 python3 "$(dirname "$0")/version_server.py" "$port_file" &
server=$!
trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; rm -f "$port_file"' EXIT
for _ in $(seq 100); do
  [[ -s $port_file ]] && break
  sleep 0.05
done
[[ -s $port_file ]] || { echo "run-with-server: the server did not start" >&2; exit 1; }
export LARK_TEST_SERVER_PORT=$(cat "$port_file")
"$@"
