#!/usr/bin/env bash
# Builds the Debian package of Postwick into build/package/ (or the folder
# given as first argument + /package). The build installs under /usr, as a
# Debian package must; tests and benchmarks in the same build are unaffected.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build "$build" -j "$(nproc)" --target postwick postwick_product_info postwick_install_files
cpack --config "$build/CPackConfig.cmake" -B "$build/package" >"$build/package.log" 2>&1 ||
  { cat "$build/package.log"; exit 1; }
ls "$build"/package/postwick_*.deb
