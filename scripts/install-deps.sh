#!/usr/bin/env bash
# Installs, on Debian or Ubuntu, the build and test packages that are missing; quiet and quick
# when everything is there. Extra groups: --fuzz (clang and its fuzzer runtime), --bench
# (Google Benchmark), --gui-check (Xvfb and friends, to look at the window without a display),
# --package (what builds and checks the Debian package), --format (clang-format), --unit
# (systemd-analyze, to check the user unit).
set -euo pipefail

packages=(cmake g++ make pkg-config libgtest-dev libgmock-dev qt6-base-dev libgl-dev libedit-dev
          nlohmann-json3-dev libsqlite3-dev libre2-dev libtomlplusplus-dev libsecret-1-dev
          gnome-keyring dbus)
for arg in "$@"; do
    case "$arg" in
        --fuzz) packages+=(clang libclang-rt-dev) ;;
        --bench) packages+=(libbenchmark-dev) ;;
        --gui-check) packages+=(xvfb imagemagick xdotool) ;;
        --format) packages+=(clang-format) ;;
        --unit) packages+=(systemd) ;;
        --package) packages+=(dpkg-dev file lintian desktop-file-utils appstream groff man-db) ;;
        *) echo "install-deps.sh: unknown option $arg" >&2; exit 2 ;;
    esac
done

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if ! command -v apt-get >/dev/null; then
    echo "install-deps.sh: missing packages ${missing[*]}, and no apt-get to install them" >&2
    exit 1
fi
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
