#!/usr/bin/env bash
# Saving a 1920 × 1080 desktop capture as PNG: kivo_config's capture saving
# (bench_png_save.exe: viewer::SaveCapture, the PNG writer and the file)
# against bench_png_minimal.exe, the plainest program that writes the same
# pixels with the same libpng build and its default settings, alternating
# under Wine in one run. Each program times itself from the start of the
# saving to the closed file (the picture is made before). Targets: at most
# 1.2 × the minimal program's time and 1.05 × its file size.
# Usage: bash bench/png_save.sh [runs]   (default 10)
set -euo pipefail
runs=${1:-10}
# shellcheck source=bench/common.sh
source "$(dirname "$0")/common.sh"
out=$WINEPREFIX/drive_c/png_bench
rm -rf "$out" && mkdir -p "$out"
save() { wine "$w32/bench/bench_png_save.exe" 'C:\png_bench' 2>>"$logs/png_save.log"; }
minimal() { wine "$w32/bench/bench_png_minimal.exe" 'C:\png_bench\minimal.png' 2>>"$logs/png_save.log"; }
field() { local v=${2#*"$1"=}; echo "${v%% *}"; }

# A first round of each, untimed: the programs and the libraries in the cache.
save >/dev/null
minimal >/dev/null
save_ms=() minimal_ms=() save_bytes=0 minimal_bytes=0
for i in $(seq 1 "$runs"); do
  s=$(save | tr -d '\r')
  m=$(minimal | tr -d '\r')
  echo "run $i: kivo_config $s   minimal $m"
  save_ms+=("$(field ms "$s")"); minimal_ms+=("$(field ms "$m")")
  save_bytes=$(field bytes "$s"); minimal_bytes=$(field bytes "$m")
done

smed=$(median "${save_ms[@]}")
mmed=$(median "${minimal_ms[@]}")
echo
echo "saving a 1920x1080 desktop capture as PNG, median of $runs runs:"
echo "  kivo_config (capture saving)        ${smed} ms   ${save_bytes} bytes"
echo "  minimal libpng program (defaults)   ${mmed} ms   ${minimal_bytes} bytes"
awk -v s="$smed" -v m="$mmed" 'BEGIN {printf "  time ratio                          %.3f (target <= 1.2)\n", s / m}'
awk -v s="$save_bytes" -v m="$minimal_bytes" 'BEGIN {printf "  size ratio                          %.3f (target <= 1.05)\n", s / m}'
