#!/usr/bin/env bash
# Takes the README's screenshot of the tray menu: a virtual X display with a
# tray host (trayer), the relay started on a spare port with its files in a
# temporary folder, a right-click on its tray icon, and a picture of it.
# Needs: xvfb trayer xdotool imagemagick (apt-get install them).
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/tray-menu.png}
display=:97
data=$(mktemp -d)
printf 'USERPORT=1\r\nPORT=2599\r\nFIREWALL=1\r\nUSERDNS=1\r\nDNS=127.0.0.1:9\r\n' > "$data/postwick.opt"
Xvfb $display -screen 0 640x360x24 >/dev/null 2>&1 & xvfb=$!
trap 'kill $relay $tray $xvfb 2>/dev/null || true; rm -rf "$data"' EXIT
sleep 1
export DISPLAY=$display
convert -size 640x360 gradient:'#5b7fa6'-'#2c4766' "$data/bg.png" && display -window root "$data/bg.png" &
sleep 1
trayer --edge top --align right --widthtype request --height 28 --SetDockType true --transparent false \
  --tint 0x303840 >/dev/null 2>&1 & tray=$!
sleep 1
build/postwick --data-dir "$data" >/dev/null 2>&1 & relay=$!
sleep 2
geometry=$(xwininfo -root -tree | grep '("postwick" "Postwick")' | head -n 1 | grep -o '+[0-9]*+[0-9]*$')
x=$(echo "$geometry" | cut -d+ -f2); y=$(echo "$geometry" | cut -d+ -f3)
xdotool mousemove $((x + 10)) $((y + 12)) click 3
sleep 1
import -window root "$data/full.png"
convert "$data/full.png" -crop 300x230+340+0 +repage "$out"
echo "wrote $out"
