#!/usr/bin/env bash
# The program runner's wait: CPU time that kivo_config uses while its runner
# waits 10 seconds for a program to end, beside the CPU time of the same
# kivo_config sitting idle for 10 seconds in the same run. Idle is the floor
# any waiting program can reach (a wait that needs no CPU at all); the target
# is at most 1 % of one core above it.
# Usage: bash bench/wait_cpu.sh [seconds]   (default 10)
set -euo pipefail
secs=${1:-10}
# shellcheck source=bench/common.sh
source "$(dirname "$0")/common.sh"
runner='Kivo-Config Open Application Ver1.0'

d reg-set "$key\\F6" C2 1 >/dev/null
wine "$w32/app/kivo_config.exe" >>"$logs/app.log" 2>&1 &
app=$!
d wait --title "$title" --visible --timeout 60000 >/dev/null
pid=$(pgrep -f 'kivo_config\.exe' | head -n 1)
[ -n "$pid" ] || { echo "wait_cpu: kivo_config.exe is not running" >&2; exit 1; }
hz=$(getconf CLK_TCK)
# CPU seconds (user + system) of the process so far.
cpu() { awk -v hz="$hz" '{printf "%.3f", ($14 + $15) / hz}' "/proc/$pid/stat"; }

# Idle: the main window and its two one-second timers.
a=$(cpu); sleep "$secs"; b=$(cpu)
idle=$(awk -v a="$a" -v b="$b" 'BEGIN {printf "%.3f", b - a}')

# Waiting: the runner waits for a program that runs 2 s longer than the
# window measured; the window starts 1 s after OK, once the launch is done.
d click --title "$title" --text 'Open APL' >/dev/null
d wait --title "$runner" --visible >/dev/null
sleeper_win='Z:'$(echo "$w32/bench/bench_sleeper.exe" | tr / '\\')
d type --title "$runner" --ctl-class Edit --keys "$sleeper_win $(((secs + 2) * 1000))" >/dev/null
launch=$(cpu)
d click --title "$runner" --text OK >/dev/null
sleep 1
a=$(cpu); sleep "$secs"; b=$(cpu)
waiting=$(awk -v a="$a" -v b="$b" 'BEGIN {printf "%.3f", b - a}')
launched=$(awk -v a="$launch" -v b="$a" 'BEGIN {printf "%.3f", b - a}')
d msgbox --title kivo_config --answer 1 --timeout 30000 >/dev/null || true

d post --title "$title" --msg 16 >/dev/null || true   # WM_CLOSE
wait "$app" || true

echo "CPU time of kivo_config.exe over ${secs} s:"
echo "  idle (reference: the floor)   ${idle} s"
echo "  runner waiting for a program  ${waiting} s   (launching it, before: ${launched} s)"
awk -v i="$idle" -v w="$waiting" -v s="$secs" 'BEGIN {
  d = (w - i) / s * 100
  printf "  above idle                    %.2f %% of one core (target <= 1 %%)\n", d }'
