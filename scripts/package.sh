#!/usr/bin/env bash
# Builds the Debian package vyr-admin_<version>_<arch>.deb from the "default" preset (configures
# and builds what is missing or out of date, then runs CPack) and prints its path.
# Install it with: sudo apt install ./build/default/vyr-admin_<version>_<arch>.deb
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --package
cmake --preset default >/dev/null
# The package target builds everything first, then packs what the install rules name.
cmake --build --preset default -j "$(nproc)" --target package >build/default/package.log 2>&1 || {
    cat build/default/package.log
    exit 1
}
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' build/default/CPackConfig.cmake)
deb="build/default/vyr-admin_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { cat build/default/package.log; echo "package.sh: no $deb" >&2; exit 1; }
echo "$deb"
