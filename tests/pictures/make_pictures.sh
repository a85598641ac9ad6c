#!/usr/bin/env bash
# Makes the PNG and GIF pictures of the codec tests with ImageMagick, from
# sources whose every pixel is a formula of x and y that the tests compute
# again (tests/png_gif_codec_test.cpp): an 11 × 9 picture, so that every
# interlacing pass has rows and columns.
# Usage: make_pictures.sh OUTDIR
set -euo pipefail
out=$1
mkdir -p "$out"
cd "$out"
w=11 h=9

# source NAME KIND: an ImageMagick pixel enumeration, 16-bit channels.
#   colour  R, G, B opaque          alpha   the same with alpha (x*24+y*31)%256
#   binary  colour, transparent where (x+y)%4 == 0
#   deep    16-bit R, G, B, A         deepgray  its R as grey, with its A
#   grayalpha  R as grey, with the alpha of "alpha"
#   grayN   N-bit grey levels ((x+y*11) % 2^N), opaque
#   paletteN  N of the 16 colours of the table below
source() {
  awk -v kind="$2" -v w=$w -v h=$h 'BEGIN {
    split("0 0 0|255 255 255|255 0 0|0 255 0|0 0 255|255 255 0|0 255 255|255 0 255|128 0 0|0 128 0|0 0 128|128 128 0|0 128 128|128 0 128|192 192 192|128 128 128", table, "|")
    printf "# ImageMagick pixel enumeration: %d,%d,65535,srgba\n", w, h
    for (y = 0; y < h; y++) for (x = 0; x < w; x++) {
      r = (x * 23 + y * 5) % 256; g = (y * 29 + x * 3) % 256; b = (x * y * 7 + 40) % 256; a = 255
      if (kind == "alpha") a = (x * 24 + y * 31) % 256
      if (kind == "binary" && (x + y) % 4 == 0) a = 0
      if (kind == "grayalpha") { g = b = r; a = (x * 24 + y * 31) % 256 }
      if (kind ~ /^gray[0-9]/) {
        bits = substr(kind, 5) + 0; levels = 2 ^ bits
        r = g = b = (x + y * 11) % levels
        if (bits < 16) { r = g = b = r * 255 / (levels - 1) }
      }
      if (kind ~ /^palette/) {
        n = substr(kind, 8) + 0
        split(table[(x * 3 + y) % n + 1], c, " "); r = c[1]; g = c[2]; b = c[3]
      }
      if (kind == "deep" || kind == "deepgray") {
        r = (x * 4099 + y * 733) % 65536; g = (y * 5003 + x * 17) % 65536
        b = (x * y * 1234 + 77) % 65536; a = (x * 6007 + y * 2999) % 65536
        if (kind == "deepgray") g = b = r
        printf "%d,%d: (%d,%d,%d,%d)\n", x, y, r, g, b, a
        continue
      }
      if (kind == "gray16") { printf "%d,%d: (%d,%d,%d,65535)\n", x, y, r, r, r; continue }
      printf "%d,%d: (%d,%d,%d,%d)\n", x, y, r * 257, g * 257, b * 257, a * 257
    }
  }' >"$1.txt"
}

for k in colour alpha binary deep deepgray grayalpha gray1 gray2 gray4 gray8 gray16 palette2 palette4 palette16; do
  source "src-$k" "$k"
done

# png NAME SOURCE COLOURTYPE DEPTH [more options]
png() {
  local name=$1 src=$2 type=$3 depth=$4
  shift 4
  convert "src-$src.txt" "$@" -define png:color-type="$type" -define png:bit-depth="$depth" \
    -define png:exclude-chunks=date,time "PNG:$name.png"
}
png rgb8 colour 2 8
png rgb8-interlaced colour 2 8 -interlace PNG
png rgba8 alpha 6 8
png rgba8-interlaced alpha 6 8 -interlace PNG
png rgb16 deep 2 16 -alpha off
png rgba16 deep 6 16
png palette8 colour 3 8
# ImageMagick writes tRNS for a palette only as PNG8.
convert src-binary.txt -define png:exclude-chunks=date,time PNG8:palette8-trns.png
png palette1 palette2 3 1
png palette2 palette4 3 2
png palette4 palette16 3 4
png gray1 gray1 0 1
png gray2 gray2 0 2
png gray4 gray4 0 4
png gray8 gray8 0 8
png gray16 gray16 0 16
png graya8 grayalpha 4 8
png graya16 deepgray 4 16

convert src-colour.txt GIF:colour.gif
convert src-colour.txt -interlace GIF GIF:colour-interlaced.gif
convert src-binary.txt GIF:binary.gif
# Two frames: only the first is shown.
convert src-colour.txt src-palette2.txt -loop 0 GIF:animated.gif
# A frame at 4,3 on a 20 × 15 screen.
convert src-colour.txt -repage 20x15+4+3 GIF:offset.gif
touch stamp
