#!/usr/bin/env bash
# Renders the application icon's PNG sizes for the desktop's icon theme from
# data/icons/org.example.postwick.svg. The PNGs are kept in the repository so
# that building needs no SVG renderer; run this after changing the SVG.
# Needs: librsvg2-bin (rsvg-convert).
set -euo pipefail
cd "$(dirname "$0")/.."
svg=data/icons/org.example.postwick.svg
for size in 16 22 24 32 48 64 128 256 512; do
  mkdir -p "data/icons/${size}x${size}"
  rsvg-convert --width "$size" --height "$size" --output "data/icons/${size}x${size}/org.example.postwick.png" "$svg"
done
echo "rendered $(ls data/icons/*x*/org.example.postwick.png | wc -l) sizes from $svg"
