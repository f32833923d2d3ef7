#!/bin/sh
# Regenerates the window icon and the logo picture of the polling program (ImageMagick).
# The generated files are committed; run this only to change them.
set -e
cd "$(dirname "$0")"

# Icon: a barcode-like stripe pattern on a navy tile with a yellow edge, reduced to 16 colours.
for size in 32 16; do
  convert -size ${size}x${size} xc:'rgb(0,0,128)' \
    -fill 'rgb(255,255,0)' -draw "rectangle 0,0 $((size - 1)),$((size / 8))" \
    -fill white \
    -draw "rectangle $((size * 3 / 16)),$((size * 5 / 16)) $((size * 4 / 16 - 1)),$((size * 13 / 16))" \
    -draw "rectangle $((size * 5 / 16)),$((size * 5 / 16)) $((size * 7 / 16 - 1)),$((size * 13 / 16))" \
    -draw "rectangle $((size * 8 / 16)),$((size * 5 / 16)) $((size * 9 / 16 - 1)),$((size * 13 / 16))" \
    -draw "rectangle $((size * 10 / 16)),$((size * 5 / 16)) $((size * 11 / 16 - 1)),$((size * 13 / 16))" \
    -draw "rectangle $((size * 12 / 16)),$((size * 5 / 16)) $((size * 14 / 16 - 1)),$((size * 13 / 16))" \
    -fill 'rgb(0,255,0)' -draw "rectangle 0,$((size * 14 / 16)) $((size - 1)),$((size - 1))" \
    +dither -colors 16 -define png:color-type=3 -define png:bit-depth=4 icon${size}.png
done
convert icon32.png icon16.png tallivo.ico

# Logo: 157 x 55 pixels, the product name over a thin barcode strip.
convert -size 157x55 xc:'rgb(0,0,128)' \
  -fill 'rgb(255,255,0)' -font DejaVu-Sans-Bold -pointsize 26 -gravity north -annotate +0+4 'Tallivo' \
  -fill white -draw 'rectangle 20,42 136,44' \
  -fill 'rgb(0,0,128)' \
  -draw 'rectangle 30,42 31,44' -draw 'rectangle 45,42 47,44' -draw 'rectangle 60,42 61,44' \
  -draw 'rectangle 78,42 80,44' -draw 'rectangle 96,42 97,44' -draw 'rectangle 115,42 117,44' \
  -quality 90 logo.jpg
