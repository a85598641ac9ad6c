#!/usr/bin/env bash
# Opening a 6000 × 4000 JPEG: the image viewer (a drop, until the picture is
# shown) against djpeg.exe of the same libjpeg-turbo build (same source,
# compiler and SIMD code) decoding the same file to a bitmap written to NUL,
# both under Wine, alternating in one run. djpeg's time includes starting its
# process (tens of milliseconds under Wine); the viewer's includes making and
# painting the window's bitmap. Target: the
# viewer at most 1.2 × djpeg. Also prints the viewer's peak working set.
# Usage: bash bench/viewer_open.sh [runs]   (default 5)
set -euo pipefail
runs=${1:-5}
# shellcheck source=bench/common.sh
source "$(dirname "$0")/common.sh"
djpeg=$root/build/deps/libjpeg-turbo-i686/bin/djpeg.exe

big=$WINEPREFIX/drive_c/big.jpg
if [ ! -f "$big" ]; then
  echo "viewer_open: making a 6000x4000 JPEG"
  convert -size 6000x4000 plasma:fractal -quality 90 "$big"
fi
viewer='Kivo-Config 画像ビューア Ver1.1'
d reg-set "$key\\F6" C2 1 >/dev/null
wine "$w32/app/kivo_config.exe" >>"$logs/app.log" 2>&1 &
app=$!
d wait --title "$title" --visible --timeout 60000 >/dev/null
d post --title "$title" --msg 1025 --wparam 100 --lparam 516 >/dev/null   # the tray menu
d menu-select --text '画像ビューワ(&V)' >/dev/null
d wait --title "$viewer" --visible >/dev/null

viewer_ms=() djpeg_ms=() peak=0
# A first round of each, untimed: the file in the page cache.
d time-drop --title "$viewer" --width 6000 --height 4000 --timeout 120000 -- 'C:\big.jpg' >/dev/null
d time-run --timeout 120000 -- "$(winepath -w "$djpeg")" -bmp -outfile NUL 'C:\big.jpg' >/dev/null
for i in $(seq 1 "$runs"); do
  # Every drop loads its picture afresh.
  v=$(d time-drop --title "$viewer" --width 6000 --height 4000 --timeout 120000 -- 'C:\big.jpg')
  j=$(d time-run --timeout 120000 -- "$(winepath -w "$djpeg")" -bmp -outfile NUL 'C:\big.jpg')
  echo "run $i: viewer $v   djpeg $j"
  vm=${v#ms=}; vm=${vm%% *}; vk=${v##*peak_kb=}; jm=${j#ms=}
  viewer_ms+=("$vm"); djpeg_ms+=("$jm")
  [ "$vk" -gt "$peak" ] && peak=$vk
done
d post --title "$title" --msg 16 >/dev/null || true
wait "$app" || true

vmed=$(median "${viewer_ms[@]}")
jmed=$(median "${djpeg_ms[@]}")
echo
echo "opening a 6000x4000 JPEG, median of $runs runs:"
echo "  viewer (drop to picture shown)  ${vmed} ms   peak working set ${peak} KB"
echo "  djpeg.exe (same libjpeg-turbo)  ${jmed} ms"
awk -v v="$vmed" -v j="$jmed" 'BEGIN {printf "  ratio                           %.2f (target <= 1.2)\n", v / j}'
