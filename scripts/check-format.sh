#!/usr/bin/env bash
# Fails when a C++ file in the tree differs from what .clang-format makes of it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --format
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
echo "Formatting: every C++ file matches .clang-format."
