#!/usr/bin/env bash
# Draws the application icon (kivo_config.ico: 16, 20, 24, 32, 40, 48, 64
# and 256 pixels, the sizes Windows asks for from 100 % to 200 %) and the
# start-up logo (logo.bmp, 240x180, 8-bit palette) with ImageMagick. The
# generated files are kept in the tree; run this again after changing it.
set -euo pipefail
cd "$(dirname "$0")"
command -v convert >/dev/null || { echo "make_images: ImageMagick is missing (scripts/install-deps.sh)" >&2; exit 1; }
font=/usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf
[ -f "$font" ] || font=DejaVu-Sans
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Icon: a blue rounded tile with a white power symbol.
icon() {  # size
  local s=$1
  local r=$((s / 6)) m=$((s / 2)) ring=$((s * 3 / 10)) lw=$(( s >= 44 ? s / 11 : s >= 32 ? 3 : 2 ))
  local edge=$(( s >= 64 ? s / 32 : 1 ))
  convert -size "${s}x${s}" xc:none \
    -fill '#1d5fbf' -stroke '#0b2f66' -strokewidth "$edge" \
    -draw "roundrectangle 0,0 $((s - 1)),$((s - 1)) $r,$r" \
    -fill none -stroke white -strokewidth "$lw" \
    -draw "arc $((m - ring)),$((m - ring + 1)) $((m + ring)),$((m + ring + 1)) 300,240" \
    -draw "line $m,$((s / 6)) $m,$m" \
    "PNG32:$tmp/icon$s.png"
}
sizes=(16 20 24 32 40 48 64 256)
for s in "${sizes[@]}"; do icon "$s"; done
files=()
for s in "${sizes[@]}"; do files+=("$tmp/icon$s.png"); done
convert "${files[@]}" kivo_config.ico

# Logo: gradient backdrop, the product name and its platform line.
convert -size 240x180 gradient:'#e8f0fb'-'#8fb3e6' \
  -fill '#1d5fbf' -draw "rectangle 0,0 239,6" -draw "rectangle 0,173 239,179" \
  -fill none -stroke '#1d5fbf' -strokewidth 4 -draw "arc 20,40 64,84 300,240" \
  -draw "line 42,34 42,62" -stroke none \
  -font "$font" -fill '#0b2f66' -pointsize 26 -annotate +72+72 'Kivo-Config' \
  -fill '#17417f' -pointsize 20 -annotate +104+108 'for Windows' \
  -fill '#33558a' -pointsize 11 -annotate +20+158 'Kivo Project  Version 1.7' \
  -colors 256 -type Palette "BMP3:logo.bmp"
identify logo.bmp kivo_config.ico
