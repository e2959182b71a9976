#!/usr/bin/env bash
# Builds the program and the demo server, starts the server on a free loopback port and opens
# the admin window with the server's address and login already in its fields: press Connect.
# The window gets a private config directory, so your own settings stay untouched. Closing the
# window stops the server.
# Usage: scripts/demo.sh [demo server options such as --players 12 --rate 3 --seed 7]
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -x scripts/install-deps.sh ]; then
    scripts/install-deps.sh
fi
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target vyr-admin vyr-demo-server

config=$(mktemp -d)
server_pid=""
cleanup() {
    if [ -n "$server_pid" ]; then
        kill "$server_pid" 2>/dev/null || true
        wait "$server_pid" 2>/dev/null || true
    fi
    rm -rf "$config"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

build/default/tools/vyr-demo-server "$@" --bind 127.0.0.1 --port 0 --user admin \
    --password admin >"$config/server.out" &
server_pid=$!

# The server's first line names its address: "listening on 127.0.0.1:PORT".
address=""
for _ in $(seq 50); do
    address=$(sed -n 's/^listening on //p' "$config/server.out")
    if [ -n "$address" ] || ! kill -0 "$server_pid" 2>/dev/null; then
        break
    fi
    sleep 0.1
done
if [ -z "$address" ]; then
    echo "demo.sh: the demo server did not start:" >&2
    cat "$config/server.out" >&2
    exit 1
fi
echo "demo server listening on $address (user admin, password admin)"

printf '[Remote Admin]\r\nUsername=admin\r\nSavePass=true\r\nPassword=admin\r\nIP=%s\r\nPort=%s\r\n' \
    "${address%:*}" "${address##*:}" >"$config/vyr.ini"
XDG_CONFIG_HOME="$config" build/default/ui/vyr-admin
