#!/usr/bin/env bash
# Runs a test program against a Secret Service of its own: a private D-Bus session, a private
# home, and gnome-keyring started the way MODE asks. The program learns the mode from
# VYR_TEST_KEYRING; where the session cannot be set up it gets VYR_TEST_KEYRING_SKIP with the
# reason instead, and its keyring tests skip, saying why.
#
# Usage: keyring-session.sh MODE PROGRAM [ARGUMENTS...]
#   unlocked       gnome-keyring with a login collection, unlocked with a test password
#   no-collection  gnome-keyring without any collection (a fresh home, never unlocked)
#   no-service     a D-Bus session on which no Secret Service can start
set -uo pipefail

if [ "${1:-}" = --inside ]; then
    mode=$2
    shift 2
    case "$mode" in
    unlocked)
        if ! started=$(printf 'test-password' |
                       gnome-keyring-daemon --unlock --components=secrets 2>&1); then
            export VYR_TEST_KEYRING_SKIP="gnome-keyring-daemon --unlock failed: $started"
            exec "$@"
        fi ;;
    no-collection)
        if ! started=$(gnome-keyring-daemon --start --components=secrets 2>&1); then
            export VYR_TEST_KEYRING_SKIP="gnome-keyring-daemon --start failed: $started"
            exec "$@"
        fi ;;
    esac
    export VYR_TEST_KEYRING=$mode
    exec "$@"
fi

mode=${1:?usage: keyring-session.sh MODE PROGRAM [ARGUMENTS...]}
shift
for tool in dbus-run-session gnome-keyring-daemon; do
    if ! command -v "$tool" >/dev/null; then
        export VYR_TEST_KEYRING_SKIP="$tool is not installed (Debian packages dbus, gnome-keyring)"
        exec "$@"
    fi
done

scratch=$(mktemp -d "${TMPDIR:-/tmp}/vyr-keyring-XXXXXX") || exit 1
trap 'rm -rf "$scratch"' EXIT
mkdir -m 0700 "$scratch/home" "$scratch/run"
# Everything the bus, the keyring daemon and its activated helpers write stays in the scratch
# folder; no display, so the keyring's prompts fail at once instead of waiting for a person.
export HOME=$scratch/home XDG_RUNTIME_DIR=$scratch/run
export XDG_CONFIG_HOME=$HOME/.config XDG_DATA_HOME=$HOME/.local/share XDG_CACHE_HOME=$HOME/.cache
unset DISPLAY WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS GNOME_KEYRING_CONTROL SSH_AUTH_SOCK

config=()
if [ "$mode" = no-service ]; then
    # A session bus that knows no services to start.
    cat >"$scratch/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=$scratch/run</listen>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
    config=(--config-file="$scratch/bus.conf")
fi
dbus-run-session "${config[@]}" -- "$0" --inside "$mode" "$@"
