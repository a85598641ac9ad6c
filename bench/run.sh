#!/usr/bin/env bash
# Start-up benchmark: time from process start until the main window is
# visible, under Wine with the logo switched off, for kivo_config.exe,
# bench_twin.exe (the same main window written straight on Win32: the
# reference, the best program doing the same work) and bench_minimal.exe (a
# window and a message loop, nothing else), alternating, with medians, the
# ratio to the twin and each program's start-up phases (KIVO_PHASES: the
# milliseconds since process creation at which each phase ended, median of
# the runs); then, in one running kivo_config, how long each secondary window
# takes to open from its button or menu item until its first paint (target:
# under 50 ms each).
# Usage: bash bench/run.sh [runs] [--no-windows] [--dpi N]
#   runs          starts of each program (default 21)
#   --no-windows  the start-up only (scripts/test.sh's short run)
#   --dpi N       the display at N DPI (default 96; 144 is 150 %): both
#                 programs are scaled, the twin by the system
set -euo pipefail
runs=21 windows=1 dpi=96
while [ $# -gt 0 ]; do
  case $1 in
    --no-windows) windows=0 ;;
    --dpi) dpi=$2; shift ;;
    *) runs=$1 ;;
  esac
  shift
done
# shellcheck source=bench/common.sh
source "$(dirname "$0")/common.sh"

# The display's DPI for every program started from here on.
d reg-set-dword 'Control Panel\Desktop' LogPixels "$dpi"
echo "display at $dpi DPI"

d reg-set "$key\F6" C2 1

app_win='Z:'$(echo "$w32/app/kivo_config.exe" | tr / '\\')
min_win='Z:'$(echo "$w32/bench/bench_minimal.exe" | tr / '\\')
twin_win='Z:'$(echo "$w32/bench/bench_twin.exe" | tr / '\\')
phases_file=$logs/phases.txt
phases_win='Z:'$(echo "$phases_file" | tr / '\\')

# measure <title> <exe> [phases log]: prints "ms=<t> peak_kb=<k>" and, with
# a phases log, appends the program's phases to it. The program is closed
# with WM_CLOSE afterwards; kivo_config then saves its settings, which are
# removed again so that every run is a first start (with the logo off).
measure() {
  rm -f "$phases_file"
  KIVO_PHASES=$phases_win d measure --title "$1" --timeout 60000 -- "$2"
  d reg-delete "$key\F1"
  if [ -n "${3:-}" ] && [ -f "$phases_file" ]; then tr -d '\r' <"$phases_file" >>"$3"; fi
}

# One untimed start of each first (loads Wine's DLLs into the page cache).
measure "KIVO-CONFIG FOR Windows" "$app_win" >/dev/null
measure "bench_minimal" "$min_win" >/dev/null
measure "KIVO-CONFIG FOR Windows" "$twin_win" >/dev/null

app_phases=$logs/phases-kivo_config.txt twin_phases=$logs/phases-bench_twin.txt
rm -f "$app_phases" "$twin_phases"
app_ms=() min_ms=() twin_ms=() app_kb=0 min_kb=0 twin_kb=0
for i in $(seq 1 "$runs"); do
  a=$(measure "KIVO-CONFIG FOR Windows" "$app_win" "$app_phases")
  t=$(measure "KIVO-CONFIG FOR Windows" "$twin_win" "$twin_phases")
  m=$(measure "bench_minimal" "$min_win")
  echo "run $i: kivo_config ${a}   bench_twin ${t}   bench_minimal ${m}"
  a_ms=${a#ms=}; a_ms=${a_ms%% *}; a_kb=${a##*peak_kb=}
  t_ms=${t#ms=}; t_ms=${t_ms%% *}; t_kb=${t##*peak_kb=}
  m_ms=${m#ms=}; m_ms=${m_ms%% *}; m_kb=${m##*peak_kb=}
  app_ms+=("$a_ms"); min_ms+=("$m_ms"); twin_ms+=("$t_ms")
  [ "$a_kb" -gt "$app_kb" ] && app_kb=$a_kb
  [ "$t_kb" -gt "$twin_kb" ] && twin_kb=$t_kb
  [ "$m_kb" -gt "$min_kb" ] && min_kb=$m_kb
done

app_med=$(median "${app_ms[@]}")
twin_med=$(median "${twin_ms[@]}")
min_med=$(median "${min_ms[@]}")
echo
echo "start-up to visible main window, median of $runs runs:"
echo "  kivo_config.exe   ${app_med} ms   peak working set ${app_kb} KB"
echo "  bench_twin.exe    ${twin_med} ms   peak working set ${twin_kb} KB"
echo "  bench_minimal.exe ${min_med} ms   peak working set ${min_kb} KB"
awk -v a="$app_med" -v t="$twin_med" -v ak="$app_kb" -v tk="$twin_kb" 'BEGIN {
  printf "  kivo_config / twin      %.2f time (target <= 1.05), %.2f peak memory (target <= 1.05)\n", a / t, ak / tk }'
awk -v a="$app_med" -v m="$min_med" 'BEGIN { printf "  kivo_config / minimal   %.2f time\n", a / m }'

# The phases, in the order each program reaches them: the median of the
# runs of the moment each ended, in ms since the process was created.
echo
echo "start-up phases (ms since process creation, median of $runs runs):"
for f in "$app_phases" "$twin_phases"; do
  [ -s "$f" ] || continue
  printf '  %-17s' "$(basename "$f" .txt | sed 's/^phases-//').exe"
  awk '!($1 in n) { order[++k] = $1 } { n[$1]++; v[$1, n[$1]] = $2 }
    END {
      for (i = 1; i <= k; i++) {
        p = order[i]; c = n[p]
        for (a = 2; a <= c; a++) for (b = a; b > 1 && v[p, b - 1] > v[p, b]; b--) {
          x = v[p, b]; v[p, b] = v[p, b - 1]; v[p, b - 1] = x }
        m = c % 2 ? v[p, (c + 1) / 2] : (v[p, c / 2] + v[p, c / 2 + 1]) / 2
        printf " %s %.1f", p, m
      }
      printf "\n" }' "$f"
done

[ "$windows" = 1 ] || exit 0

# Secondary windows, opened and closed again in one running kivo_config, in
# a Wine session of their own: the start-up loop above leaves a wineserver
# that has seen a hundred processes come and go, which no user's has.
wineserver -k >/dev/null 2>&1 || true
wineserver -w >/dev/null 2>&1 || true
echo
echo "secondary windows, from the click to the first paint (median of 5, target < 50 ms):"
wine "$w32/app/kivo_config.exe" >>"$logs/app.log" 2>&1 &
app=$!
d wait --title "$title" --visible --timeout 60000 >/dev/null
open_ms() {  # <what> <driver arguments…>
  local what=$1 times=()
  shift
  for _ in 1 2 3 4 5; do
    local t
    t=$(d time-open --title "$title" "$@" --timeout 20000) || { echo "  $what: did not open"; return; }
    times+=("${t#ms=}")
  done
  printf '  %-28s %s ms\n' "$what" "$(median "${times[@]}")"
}
open_ms "stopwatch" --text 'ｽﾄｯﾌﾟｳｫｯﾁ' --window 'Kivo-Config タイマー'
open_ms "program runner" --text 'Open APL' --window 'Kivo-Config Open Application Ver1.0'
open_ms "detailed settings" --menu '設定(&S)' --window '詳細設定'
open_ms "user settings" --menu 'ユーザー設定' --window 'KIVO-CONFIG ユーザー設定'
open_ms "image viewer" --menu '画像ビューア(&V)' --window 'Kivo-Config 画像ビューア Ver1.1'
open_ms "version information" --menu 'バージョン情報(&V)' --window 'バージョン情報'
open_ms "fix information" --menu 'FIX情報(&F)' --window 'FIX情報'
d post --title "$title" --msg 16 >/dev/null || true
wait "$app" || true
