#!/usr/bin/env bash
# Fails when a C++ file of the repository differs from what clang-format makes
# of it with the .clang-format at the root; prints the files that differ.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror
