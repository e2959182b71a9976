#!/usr/bin/env bash
# Fails when systemd finds anything to say about the user unit template vyr-cli@.service.
# Needs no running systemd: `systemd-analyze --user verify` loads the unit as an instance, with
# a stand-in program at the path ExecStart names, since vyr-cli is not installed here.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v systemd-analyze >/dev/null; then
    echo "check-unit.sh: systemd-analyze is missing (Debian package systemd)" >&2
    exit 1
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -m 0700 "$scratch/run"
printf '#!/bin/sh\n' >"$scratch/vyr-cli"
chmod +x "$scratch/vyr-cli"
# The installed unit finds vyr-cli on systemd's own search path; here it is the stand-in.
sed "s|^ExecStart=vyr-cli |ExecStart=$scratch/vyr-cli |" res/systemd/vyr-cli@.service \
    >"$scratch/vyr-cli@check.service"

# The manual page comes with the package, so it is not looked for. Warnings do not change the
# exit status, so any output at all fails the check.
if ! said=$(XDG_RUNTIME_DIR="$scratch/run" systemd-analyze --user --man=no verify \
                "$scratch/vyr-cli@check.service" 2>&1) || [ -n "$said" ]; then
    echo "check-unit.sh: res/systemd/vyr-cli@.service:" >&2
    echo "$said" >&2
    exit 1
fi
echo "Unit: res/systemd/vyr-cli@.service verifies cleanly."
