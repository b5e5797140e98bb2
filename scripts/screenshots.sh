#!/usr/bin/env bash
# Takes the documentation's pictures of the program's windows into docs/: a
# virtual X display (Fusion style, so the pictures do not depend on the
# desktop of whoever runs this) with a tray host, and the screenshot tool that
# builds every window with fixture data.
#   scripts/screenshots.sh [NAME...]     (names as in docs/, without .png)
# Needs: xvfb trayer (apt-get install them) and a build in build/.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build --target postwick_screenshots postwick_product_info >/dev/null
display=:98
Xvfb $display -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 & xvfb=$!
trap 'kill $tray $xvfb 2>/dev/null || true' EXIT
tray=
sleep 1
export DISPLAY=$display QT_QPA_PLATFORM=xcb QT_STYLE_OVERRIDE=Fusion
trayer --edge top --align right --widthtype request --height 28 --SetDockType true --transparent false \
  --tint 0x303840 >/dev/null 2>&1 & tray=$!
sleep 1
build/postwick_screenshots docs "$@"
