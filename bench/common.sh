# What every benchmark script starts with: the win32 build up to date, a
# display and the benchmark's Wine prefix, and the names they share.
# Source it from a script in bench/ (after "set -euo pipefail").
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash scripts/build.sh win32 >/dev/null
# shellcheck source=scripts/wine-env.sh
source scripts/wine-env.sh

w32=$root/build/win32
driver=$w32/e2e/driver/kivo_driver.exe
logs=$root/build/bench-logs
mkdir -p "$logs"
trap 'wine_env_cleanup' EXIT
trap 'exit 130' INT TERM
wine_env_display "$logs/xvfb.log"
# KIVO_BENCH_PREFIX: the benchmark's prefix (default build/wineprefix-bench).
# A missing one is a copy of KIVO_BENCH_TEMPLATE when that names a ready
# prefix (scripts/test.sh passes its end-to-end template: no second boot),
# the DLLs hard-linked, everything else (registry, ini files) copied.
bench_prefix=${KIVO_BENCH_PREFIX:-$root/build/wineprefix-bench}
if [ ! -f "$bench_prefix/.kivo-prefix-ready" ] && [ -n "${KIVO_BENCH_TEMPLATE:-}" ] &&
   [ -f "$KIVO_BENCH_TEMPLATE/.kivo-prefix-ready" ]; then
  rm -rf "$bench_prefix"
  cp -al "$KIVO_BENCH_TEMPLATE" "$bench_prefix"
  find "$bench_prefix" -type f ! -path '*/windows/system32/*' ! -path '*/windows/syswow64/*' \
    -exec sh -c 'for f; do cp -p "$f" "$f.copy" && mv -f "$f.copy" "$f"; done' sh {} +
fi
wine_env_prefix "$bench_prefix"

key='Software\Kivo_Project\Ve_Dizo\Kivo_Shutdown'
title='KIVO-CONFIG FOR Windows'
# The driver, its errors logged.
d() { wine "$driver" "$@" 2>>"$logs/driver.log"; }
# The median of the numbers given.
median() { printf '%s\n' "$@" | sort -n | awk '{v[NR]=$1} END {if (NR%2) print v[(NR+1)/2]; else printf "%.2f\n", (v[NR/2]+v[NR/2+1])/2}'; }
