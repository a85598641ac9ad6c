#!/usr/bin/env bash
# Opening and paging 24-megapixel JPEGs in the image viewer, under Wine,
# beside djpeg.exe of the same libjpeg-turbo build (same source, compiler
# and SIMD code) decoding the same file to a bitmap written to NUL, measured
# alternately in the same run. djpeg's time includes starting its process
# (tens of milliseconds under Wine); the viewer's includes making and
# painting the window's bitmap.
#
# Opening: a drop of a 6000 × 4000 JPEG on an empty viewer (the viewer is
# closed and opened again before each), until the picture is shown. Targets:
# at most 0.96 × djpeg's time (the ratio before the picture went into the
# display bitmap directly); the viewer's peak working set minus its
# working set before the drop at most 1.25 × the 24-bit frame (width ×
# height × 3).
# Paging: a dropped list of such pictures (6000 × 4000 and 4000 × 6000 in
# turn, so that each page is told by its size); after a second on each page
# "次へ" is clicked and timed until the next picture is shown (target: under
# 50 ms); the peak working set over the drop and all the paging minus the
# working set before the drop at most 2.25 × the frame.
#
# Working sets are the Wine process's resident set (what Wine reports as the
# working set), read from /proc; its peak is set back to the current value
# before each measurement (clear_refs).
# Usage: bash bench/viewer_open.sh [runs]   (default 5)
# KIVO_EXE=/path/to/kivo_config.exe measures another build of the program
# the same way (an earlier one, for comparison).
set -euo pipefail
runs=${1:-5}
# shellcheck source=bench/common.sh
source "$(dirname "$0")/common.sh"
djpeg=$root/build/deps/libjpeg-turbo-i686/bin/djpeg.exe

big=$WINEPREFIX/drive_c/big.jpg
tall=$WINEPREFIX/drive_c/big_tall.jpg
if [ ! -f "$big" ]; then
  echo "viewer_open: making a 6000x4000 JPEG"
  convert -size 6000x4000 plasma:fractal -quality 90 "$big"
fi
if [ ! -f "$tall" ]; then
  echo "viewer_open: making a 4000x6000 JPEG"
  convert "$big" -rotate 90 -quality 90 "$tall"
fi
frame_kb=$((6000 * 4000 * 3 / 1024))
viewer='Kivo-Config 画像ビューア Ver1.1'
d reg-set "$key\\F6" C2 1 >/dev/null
wine "${KIVO_EXE:-$w32/app/kivo_config.exe}" >>"$logs/app.log" 2>&1 &
app=$!
d wait --title "$title" --visible --timeout 60000 >/dev/null

# The Linux process of this prefix's kivo_config.exe.
app_pid() {
  local p
  for p in /proc/[0-9]*; do
    [ -O "$p" ] || continue
    tr '\0' ' ' <"$p/cmdline" 2>/dev/null | grep -q 'kivo_config\.exe' || continue
    tr '\0' '\n' <"$p/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" || continue
    echo "${p#/proc/}"
    return 0
  done
  return 1
}
pid=$(app_pid) || { echo "viewer_open: kivo_config.exe not found" >&2; exit 1; }
status_kb() { awk -v k="$1:" '$1 == k {print $2}' "/proc/$pid/status"; }
reset_peak() { echo 5 >"/proc/$pid/clear_refs"; }

open_viewer() {
  d post --title "$title" --msg 1025 --wparam 100 --lparam 516 >/dev/null   # the tray menu
  d menu-select --text '画像ビューワ(&V)' >/dev/null
  d wait --title "$viewer" --visible >/dev/null
}
close_viewer() {
  d post --title "$viewer" --msg 16 >/dev/null
  d wait-gone --title "$viewer" >/dev/null
}
open_viewer

median() { printf '%s\n' "$@" | sort -n | awk '{v[NR]=$1} END {if (NR%2) print v[(NR+1)/2]; else printf "%.1f\n", (v[NR/2]+v[NR/2+1])/2}'; }
ms_of() { local v=${1#ms=}; echo "${v%% *}"; }

# A first round of each, untimed: the files in the page cache.
d time-drop --title "$viewer" --width 6000 --height 4000 --timeout 120000 -- 'C:\big.jpg' >/dev/null
d time-run --timeout 120000 -- "$(winepath -w "$djpeg")" -bmp -outfile NUL 'C:\big.jpg' >/dev/null
d time-run --timeout 120000 -- "$(winepath -w "$djpeg")" -bmp -outfile NUL 'C:\big_tall.jpg' >/dev/null

viewer_ms=() djpeg_ms=() open_kb=()
for i in $(seq 1 "$runs"); do
  close_viewer
  open_viewer
  sleep 1   # whatever the opening started has settled
  before=$(status_kb VmRSS)
  reset_peak
  v=$(d time-drop --title "$viewer" --width 6000 --height 4000 --timeout 120000 -- 'C:\big.jpg')
  peak=$(status_kb VmHWM)
  j=$(d time-run --timeout 120000 -- "$(winepath -w "$djpeg")" -bmp -outfile NUL 'C:\big.jpg')
  echo "open $i: viewer $(ms_of "$v") ms, working set ${before} KB before, peak ${peak} KB   djpeg $(ms_of "$j") ms"
  viewer_ms+=("$(ms_of "$v")"); djpeg_ms+=("$(ms_of "$j")"); open_kb+=("$((peak - before))")
done

# Paging: one list, the viewer emptied first.
close_viewer
open_viewer
sleep 1
list=() sizes=()
for i in $(seq 0 "$runs"); do
  if [ $((i % 2)) -eq 0 ]; then list+=('C:\big.jpg'); sizes+=("6000 4000"); else list+=('C:\big_tall.jpg'); sizes+=("4000 6000"); fi
done
before=$(status_kb VmRSS)
reset_peak
d time-drop --title "$viewer" --width 6000 --height 4000 --timeout 120000 -- "${list[@]}" >/dev/null
page_ms=() page_djpeg_ms=()
for i in $(seq 1 "$runs"); do
  sleep 1   # the user looks at the page
  read -r w h <<<"${sizes[$i]}"
  t=$(d time-click --title "$viewer" --text '次へ' --width "$w" --height "$h" --timeout 120000)
  file=${list[$i]}
  j=$(d time-run --timeout 120000 -- "$(winepath -w "$djpeg")" -bmp -outfile NUL "$file")
  echo "next $i: viewer $(ms_of "$t") ms ($w x $h)   djpeg $(ms_of "$j") ms"
  page_ms+=("$(ms_of "$t")"); page_djpeg_ms+=("$(ms_of "$j")")
done
page_peak=$(status_kb VmHWM)
d post --title "$title" --msg 16 >/dev/null || true
wait "$app" || true

vmed=$(median "${viewer_ms[@]}")
jmed=$(median "${djpeg_ms[@]}")
omed=$(median "${open_kb[@]}")
pmed=$(median "${page_ms[@]}")
pjmed=$(median "${page_djpeg_ms[@]}")
echo
echo "opening a 6000x4000 JPEG (frame ${frame_kb} KB), median of $runs runs:"
echo "  viewer (drop to picture shown)  ${vmed} ms   peak minus before the drop ${omed} KB"
echo "  djpeg.exe (same libjpeg-turbo)  ${jmed} ms"
awk -v v="$vmed" -v j="$jmed" 'BEGIN {printf "  time ratio                      %.2f (target <= 0.96)\n", v / j}'
awk -v m="$omed" -v f="$frame_kb" 'BEGIN {printf "  memory / frame                  %.2f (target <= 1.25)\n", m / f}'
echo "paging with 次へ after a second on each page, median of $runs clicks:"
echo "  viewer (click to picture shown) ${pmed} ms (target < 50 ms)"
echo "  djpeg.exe of the same file      ${pjmed} ms"
awk -v p="$page_peak" -v b="$before" -v f="$frame_kb" 'BEGIN {
  printf "  peak minus before the drop      %d KB: %.2f frames (target <= 2.25)\n", p - b, (p - b) / f }'
