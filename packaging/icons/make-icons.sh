#!/usr/bin/env bash
# Draws the two application icons at 256 px and scales them to the hicolor sizes.
# The PNGs are committed; run this only to change the drawing (needs ImageMagick).
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# polling: barcode bars above a down arrow into a tray, on blue.
convert -size 256x256 xc:none \
  -fill '#1f5fa8' -draw 'roundrectangle 8,8 247,247 40,40' \
  -fill white \
  -draw 'rectangle 48,40 60,120' -draw 'rectangle 68,40 74,120' -draw 'rectangle 82,40 98,120' \
  -draw 'rectangle 106,40 112,120' -draw 'rectangle 120,40 132,120' -draw 'rectangle 140,40 146,120' \
  -draw 'rectangle 154,40 172,120' -draw 'rectangle 180,40 186,120' -draw 'rectangle 194,40 208,120' \
  -draw 'rectangle 116,132 140,168' -draw 'polygon 98,166 158,166 128,198' \
  -draw 'rectangle 56,206 200,218' -draw 'rectangle 56,180 68,218' -draw 'rectangle 188,180 200,218' \
  "$tmp/polling.png"

# wizard: three sliders (layout settings) on green.
convert -size 256x256 xc:none \
  -fill '#2e7d32' -draw 'roundrectangle 8,8 247,247 40,40' \
  -fill white \
  -draw 'rectangle 44,62 212,74' -draw 'rectangle 44,122 212,134' -draw 'rectangle 44,182 212,194' \
  -fill '#ffca28' -stroke white -strokewidth 8 \
  -draw 'circle 92,68 92,90' -draw 'circle 170,128 170,150' -draw 'circle 118,188 118,210' \
  "$tmp/wizard.png"

for size in 16 22 24 32 48 64 128 256; do
  mkdir -p "${size}x${size}"
  for name in polling wizard; do
    convert "$tmp/$name.png" -resize "${size}x${size}" -strip "PNG32:${size}x${size}/tallivo-$name.png"
  done
done
