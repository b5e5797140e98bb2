#!/usr/bin/env bash
# Builds everything and runs the whole test suite. Arguments go to cmake's
# configure step (CI adds -DPOSTWICK_WERROR=ON).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build build -j "$(nproc)"
ctest --test-dir build --output-on-failure -j "$(nproc)"
