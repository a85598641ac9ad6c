#!/usr/bin/env bash
# Saving a 1920 × 1080 capture as PNG, a desktop and a photo-like picture:
# kivo_config's capture saving (bench_png_save.exe: viewer::SaveCapture, the
# PNG writer and the file) against bench_png_minimal.exe, the plainest
# program that writes the same pixels with the same libpng build and its
# default settings (the time's reference), alternating under Wine in one
# run, and against `optipng -o2` over the minimal program's file (the
# size's reference: the best-known PNG optimiser). Each program times itself
# from the start of the saving to the closed file (the picture is made
# before). Targets: at most 3 × libpng's default time and 1.05 × optipng's
# file size, for each picture.
# Usage: bash bench/png_save.sh [runs]   (default 10)
set -euo pipefail
runs=${1:-10}
# shellcheck source=bench/common.sh
source "$(dirname "$0")/common.sh"
out=$WINEPREFIX/drive_c/png_bench
rm -rf "$out" && mkdir -p "$out"
field() { local v=${2#*"$1"=}; echo "${v%% *}"; }
command -v optipng >/dev/null || { echo "png_save.sh: optipng is missing (scripts/install-deps.sh)" >&2; exit 1; }

for picture in desktop photo; do
  arg=()
  [ "$picture" = photo ] && arg=(photo)
  save() { wine "$w32/bench/bench_png_save.exe" 'C:\png_bench' "${arg[@]}" 2>>"$logs/png_save.log"; }
  minimal() { wine "$w32/bench/bench_png_minimal.exe" 'C:\png_bench\minimal.png' "${arg[@]}" 2>>"$logs/png_save.log"; }
  # A first round of each, untimed: the programs and the libraries in the cache.
  save >/dev/null
  minimal >/dev/null
  save_ms=() minimal_ms=() save_bytes=0 minimal_bytes=0
  for i in $(seq 1 "$runs"); do
    s=$(save | tr -d '\r')
    m=$(minimal | tr -d '\r')
    echo "$picture run $i: kivo_config $s   minimal $m"
    save_ms+=("$(field ms "$s")"); minimal_ms+=("$(field ms "$m")")
    save_bytes=$(field bytes "$s"); minimal_bytes=$(field bytes "$m")
  done
  optipng -quiet -o2 -out "$out/optipng.png" "$out/minimal.png"
  opt_bytes=$(stat -c %s "$out/optipng.png")
  rm -f "$out/optipng.png"

  smed=$(median "${save_ms[@]}")
  mmed=$(median "${minimal_ms[@]}")
  echo
  echo "saving a 1920x1080 $picture picture as PNG, median of $runs runs:"
  echo "  kivo_config (capture saving)        ${smed} ms   ${save_bytes} bytes"
  echo "  minimal libpng program (defaults)   ${mmed} ms   ${minimal_bytes} bytes"
  echo "  optipng -o2 of that file                         ${opt_bytes} bytes"
  awk -v s="$smed" -v m="$mmed" 'BEGIN {printf "  time / libpng defaults              %.3f (target <= 3)\n", s / m}'
  awk -v s="$save_bytes" -v o="$opt_bytes" 'BEGIN {printf "  size / optipng -o2                  %.3f (target <= 1.05)\n", s / o}'
  echo
done
