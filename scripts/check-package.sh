#!/usr/bin/env bash
# Builds the Debian package from the "default" build (scripts/test.sh made it; only what is out
# of date is rebuilt) and checks it as an admin would meet it: lintian, the programs run from the
# unpacked package, the desktop entry, the AppStream metainfo, the manual pages (no warnings,
# every option of each program's --help documented), and what `cmake --install` puts where.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$(date +%s)

deb=$(scripts/package.sh | tail -n 1)
echo "== package: $deb"
dpkg-deb --info "$deb" | sed -n '/Package:/,$p'

echo "== lintian"
# Errors and warnings fail; infos are printed. Known infos: "occured" is the connect-failure
# message exactly as the program has always shown it; the .comment section is the compiler's;
# the build is fortified, but where the compiler cannot see a buffer's size no checked call
# remains for lintian to find.
lintian --fail-on error,warning --display-info --color never "$deb"

scratch=$(mktemp -d "${TMPDIR:-/tmp}/vyr-package.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
root="$scratch/root"
dpkg-deb -x "$deb" "$root"
bin="$root/usr/bin"

echo "== the programs, run from the unpacked package"
"$bin/vyr-demo-server" --help
"$bin/vyr-demo-server" --version
"$bin/vyr-admin" --version
"$bin/vyr-cli" --version

echo "== desktop entry and metainfo"
for entry in "$root"/usr/share/applications/*.desktop; do
    desktop-file-validate "$entry"
    echo "valid: ${entry#"$root"}"
done
# validate-tree also follows the metainfo to its desktop entry and icon.
appstreamcli validate-tree --no-net "$root"

echo "== manual pages"
failed=0
for page in "$root"/usr/share/man/man1/*.1.gz; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    if [ -n "$warnings" ]; then
        echo "${page#"$root"}: $warnings"
        failed=1
    fi
done
for program in "$bin"/*; do
    name=$(basename "$program")
    page="$root/usr/share/man/man1/$name.1.gz"
    if [ ! -f "$page" ]; then
        echo "$name has no manual page"
        failed=1
        continue
    fi
    text=$(zcat "$page")
    # Every long option the program's --help names must be in its page (as \-\-name in roff).
    for option in $("$program" --help | grep -o -E -- '--[a-z][a-z-]*' | sort -u); do
        if ! grep -q -F -- "${option//-/\\-}" <<<"$text"; then
            echo "$name: $option is in --help but not in the manual page"
            failed=1
        fi
    done
    echo "checked: $name.1"
done
[ "$failed" -eq 0 ]

echo "== cmake --install"
cmake --install build/default --prefix "$scratch/install" >/dev/null
(cd "$scratch/install" && find . -type f -printf '%m %p\n' | sort -k 2)

echo "Package checks passed in $(($(date +%s) - started)) s."
