#!/usr/bin/env bash
# The program runner's wait and watch: CPU time while kivo_config's runner
# waits for a program to end, and while it watches the end conditions (the
# CPU use, the network traffic and the input, read once a second), each
# beside the same kivo_config sitting idle for as long in the same run. Idle
# is the floor any waiting or watching program can reach; the targets are
# at most 1 % of one core above it for the wait and at most 0.1 % for the
# watch.
#
# What is counted: the program's own process and, in the total, the
# wineserver and Wine's own processes of the benchmark's prefix (services,
# explorer, winedevice …), which do much of the work of the program's calls
# (the interface table comes from the nsiproxy driver in winedevice.exe,
# through the wineserver). A process's time is the sum of its threads'
# /proc/<pid>/task/<tid>/schedstat (nanoseconds), or /proc/<pid>/stat's
# 10 ms ticks where one of its threads ended meanwhile. The processes are
# found by the prefix they were started in, so that copies of kivo_config
# in other prefixes (a test's) and the second copy that hands a command over
# are never measured. The display server is shown beside the total when it
# is this script's own Xvfb (it draws the windows' changes; not in the
# total).
#
# The wineserver wakes some 70 times a second even beside a program that
# only sleeps, and its share drifts by more than the watch's whole target
# from one minute to the next, so the three cases take turns: rounds of at
# most 30 s each (idle, waiting, watching), the sums compared, and the
# spread of the rounds' differences printed beside them.
#
# Usage: bash bench/wait_cpu.sh [seconds]   (default 10: one round; the
# ten-minute figure: bash bench/wait_cpu.sh 600, twenty rounds)
set -euo pipefail
secs=${1:-10}
# shellcheck source=bench/common.sh
source "$(dirname "$0")/common.sh"
runner='Kivo-Config Open Application Ver1.0'
app_exe=$w32/app/kivo_config.exe
hz=$(getconf CLK_TCK)
xvfb=${WINE_ENV_XVFB_PID:-}
rounds=$(((secs + 29) / 30))
window=$(awk -v s="$secs" -v r="$rounds" 'BEGIN {printf "%.3f", s / r}')
results=$logs/wait_cpu.txt
: >"$results"
rm -f "$logs"/cpu-*.txt

# The processes started in this benchmark's prefix (the wineserver too: it
# inherits the environment of the Wine process that started it).
prefix_pids() {
  local p
  for p in /proc/[0-9]*; do
    grep -qzxF "WINEPREFIX=$WINEPREFIX" "$p/environ" 2>/dev/null && echo "${p#/proc/}"
  done
  return 0
}

# snapshot <pid>...: for each process a line "P <pid> <class> <ticks>" (user
# + system ticks of the whole process, ended threads included) and a line
# "T <pid> <tid> <ns>" for each of its threads (time on a CPU, schedstat).
snapshot() {
  local p t ns rest line class
  for p in "$@"; do
    line=$(cat "/proc/$p/stat" 2>/dev/null) || continue
    if [ "$p" = "$app" ]; then class=program
    elif [ "$p" = "$xvfb" ]; then class=display
    else
      case $(cat "/proc/$p/comm" 2>/dev/null) in
        wineserver*) class=wineserver ;;
        *) class=wine:$(cat "/proc/$p/comm" 2>/dev/null) ;;
      esac
    fi
    rest=${line##*) }
    # shellcheck disable=SC2086
    set -- $rest
    echo "P $p $class $((${12} + ${13}))"
    for t in /proc/"$p"/task/*; do
      read -r ns _ <"$t/schedstat" 2>/dev/null && echo "T $p ${t##*/} $ns"
    done
  done
  return 0
}

# The program's CPU time so far in nanoseconds.
app_ns() { snapshot "$app" | awk '$1 == "T" {s += $4} END {printf "%.0f\n", s}'; }

# cpu_window <case> <round>: the CPU time each class of process uses over
# the next window; appends "<case> <round> <program> <wineserver> <wine>
# <total> <display> <wall>" (seconds) to the results and logs each
# process's figure.
cpu_window() {
  local name=$1-$2 before after t0 t1
  before=$logs/cpu-$name-before.txt after=$logs/cpu-$name-after.txt
  # shellcheck disable=SC2046,SC2086  # $xvfb: none, or one pid
  snapshot $app $xvfb $(prefix_pids | grep -vx "$app") >"$before"
  t0=$(date +%s.%N)
  sleep "$window"
  t1=$(date +%s.%N)
  # The same processes, and any that started meanwhile.
  # shellcheck disable=SC2046
  snapshot $(awk '$1 == "P" {print $2}' "$before") \
    $(prefix_pids | grep -vxF -f <(awk '$1 == "P" {print $2}' "$before")) >"$after"
  awk -v hz="$hz" -v wall="$(awk -v a="$t0" -v b="$t1" 'BEGIN {print b - a}')" -v id="$1 $2" '
    FNR == 1 { file++ }
    $1 == "P" { cls[$2] = $3; ticks[file, $2] = $4; seen[file, $2] = 1 }
    $1 == "T" { ns[file, $2, $3] = $4; tids[file, $2] = tids[file, $2] " " $3 }
    END {
      for (p in cls) {
        if (!seen[2, p]) { printf "note: %s (%s) ended during the window: not counted\n", p, cls[p] > "/dev/stderr"; continue }
        how = "schedstat"
        if (!seen[1, p]) {          # started during the window: all of it
          d = ticks[2, p] / hz; how = "ticks, new"
          printf "note: %s (%s) started during the window\n", p, cls[p] > "/dev/stderr"
        } else {
          n = split(tids[1, p], a, " "); exact = 1
          for (i = 1; i <= n; i++) if (!((2, p, a[i]) in ns)) exact = 0
          n = split(tids[2, p], a, " "); d = 0
          for (i = 1; i <= n; i++) d += ns[2, p, a[i]] - (((1, p, a[i]) in ns) ? ns[1, p, a[i]] : 0)
          d /= 1e9
          if (!exact || n == 0) { d = (ticks[2, p] - ticks[1, p]) / hz; how = "ticks" }
        }
        sum[cls[p] ~ /^wine:/ ? "wine" : cls[p]] += d
        printf "%-10s %7s %.6f s (%s)\n", cls[p], p, d, how > "/dev/stderr"
      }
      printf "%s %.6f %.6f %.6f %.6f %.6f %.3f\n", id, sum["program"], sum["wineserver"], sum["wine"],
        sum["program"] + sum["wineserver"] + sum["wine"], sum["display"], wall
    }' "$before" "$after" 2>"$logs/cpu-$name.txt" >>"$results"
  grep '^note' "$logs/cpu-$name.txt" >&2 || true
}

d reg-set "$key\\F6" C2 1 >/dev/null
wine "$app_exe" >>"$logs/app.log" 2>&1 &
app=$!
d wait --title "$title" --visible --timeout 60000 >/dev/null
# $! is the program itself: the wine script and loader exec one another.
grep -qzF 'kivo_config.exe' "/proc/$app/cmdline" 2>/dev/null ||
  { echo "wait_cpu: process $app is not kivo_config.exe" >&2; exit 1; }
sleeper_win='Z:'$(echo "$w32/bench/bench_sleeper.exe" | tr / '\\')
# The watch: every condition, handed over by a second copy's command line.
# Thresholds of everyday use (the README's example) and the longest time
# each can be asked to hold (9999 hours): nothing holds for that long in
# here, so neither the last warning nor the power-off can come; each watch
# is cancelled after its window (and the exit trap's wineserver -k would end
# the program anyway).
minutes=599940
# KIVO_BENCH_WATCH: other conditions to watch (e.g. "/idle $minutes"), to
# see what each one costs.
# shellcheck disable=SC2206
watch=(/poweroff ${KIVO_BENCH_WATCH:-/cpu 10:$minutes /net 50:$minutes /idle $minutes} /silent)
launched=0

for round in $(seq 1 "$rounds"); do
  # Idle: the main window and its two one-second timers.
  sleep 1
  cpu_window idle "$round"

  # Waiting: the runner waits for a program that runs 2 s longer than the
  # window measured; the window starts 1 s after OK, once the launch is done.
  d click --title "$title" --text 'Open APL' >/dev/null
  d wait --title "$runner" --visible >/dev/null
  d type --title "$runner" --ctl-class Edit \
    --keys "$sleeper_win $(awk -v w="$window" 'BEGIN {printf "%d", (w + 2) * 1000}')" >/dev/null
  a=$(app_ns)
  d click --title "$runner" --text OK >/dev/null
  sleep 1
  launched=$((launched + $(app_ns) - a))
  cpu_window waiting "$round"
  d msgbox --title kivo_config --answer 1 --timeout 30000 >/dev/null || true
  d wait-gone --title "$runner" --timeout 30000 >/dev/null

  # Watching.
  rc=0
  wine "$app_exe" "${watch[@]}" >>"$logs/app.log" 2>&1 || rc=$?
  [ "$rc" -eq 0 ] || { echo "wait_cpu: the running copy did not take ${watch[*]} (exit code $rc)" >&2; exit 1; }
  d wait --title "$runner" --visible >/dev/null
  sleep 1
  cpu_window watching "$round"
  rc=0
  wine "$app_exe" /cancel /silent >>"$logs/app.log" 2>&1 || rc=$?
  [ "$rc" -eq 0 ] || { echo "wait_cpu: nothing to cancel (exit code $rc): the watch ended early" >&2; exit 1; }
  d post --title "$runner" --msg 16 >/dev/null   # WM_CLOSE: back to idle
  d wait-gone --title "$runner" --timeout 30000 >/dev/null
  if [ "$rounds" -gt 1 ]; then echo "round $round of $rounds done" >&2; fi
done

d post --title "$title" --msg 16 >/dev/null || true   # WM_CLOSE
wait "$app" || true

awk -v secs="$secs" -v rounds="$rounds" -v window="$window" -v xvfb="$xvfb" \
    -v launched="$(awk -v t="$launched" -v r="$rounds" 'BEGIN {printf "%.3f", t / 1e9 / r}')" '
  { c = $1; r = $2; n[c]++
    for (i = 3; i <= 7; i++) sum[c, i] += $i
    wall[c] += $8; total[c, r] = $6 / $8 }
  function row(label, c) {
    printf "  %-32s %8.3f %8.3f %8.3f %8.3f s", label, sum[c, 3], sum[c, 4], sum[c, 5], sum[c, 6]
    if (xvfb != "") printf " %8.3f s", sum[c, 7]
    printf "\n"
  }
  # The share of one core above idle: the sums, and the spread of the rounds.
  function above(label, c, target,   d, dp, m, v, i, e) {
    d = (sum[c, 6] / wall[c] - sum["idle", 6] / wall["idle"]) * 100
    dp = (sum[c, 3] / wall[c] - sum["idle", 3] / wall["idle"]) * 100
    printf "  %-22s %6.3f %% of one core (target <= %s %%: %s)", label, d, target, d <= target ? "met" : "NOT met"
    if (rounds > 1) {
      m = 0; v = 0
      for (i = 1; i <= rounds; i++) m += (total[c, i] - total["idle", i]) * 100 / rounds
      for (i = 1; i <= rounds; i++) { e = (total[c, i] - total["idle", i]) * 100 - m; v += e * e }
      printf ", +- %.3f %% (the rounds)", sqrt(v / (rounds - 1) / rounds)
    }
    printf "; the program alone %.3f %%\n", dp
  }
  END {
    printf "CPU time over %s s", secs
    if (rounds > 1) printf " (%d rounds of %s s)", rounds, window
    printf "; total: the program, the wineserver and Wine'\''s processes of the prefix\n"
    printf "  %-32s %8s %8s %8s %8s", "", "program", "server", "wine", "total"
    if (xvfb != "") printf " %10s", "display"
    printf "\n"
    row("idle (reference: the floor)", "idle")
    row("runner waiting for a program", "waiting")
    row("runner watching CPU, net, input", "watching")
    printf "  (launching the program, before a wait: %s s of the program'\''s CPU)\n", launched
    above("waiting above idle", "waiting", 1)
    above("watching above idle", "watching", 0.1)
  }' "$results"
