#!/usr/bin/env bash
# Builds Postwick and starts it: with a tray icon on a desktop, headless
# (logging to standard error) where there is no display. Extra arguments go
# to the program, e.g. scripts/run.sh --headless --data-dir ~/.local/share/postwick
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target postwick
exec build/postwick "$@"
