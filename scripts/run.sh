#!/usr/bin/env bash
# Builds the program, then starts kivo_config.exe under Wine in its own prefix
# (build/wineprefix-run) and saves a screenshot of the main window to
# build/screenshots/run.png.
#  - Without a DISPLAY it runs on a private Xvfb and closes the program again
#    after the screenshot.
#  - With a DISPLAY the program stays open until you end it (tray icon ->
#    アプリケーションの終了); then Wine is stopped.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

# Only what starting the program and its screenshot need: the program and
# the driver (scripts/test.sh builds the rest).
bash scripts/build.sh win32 kivo_config kivo_driver

# shellcheck source=scripts/wine-env.sh
source scripts/wine-env.sh

app=$root/build/win32/app/kivo_config.exe
driver=$root/build/win32/e2e/driver/kivo_driver.exe
logs=$root/build/run-logs
shots=$root/build/screenshots
mkdir -p "$logs" "$shots"
for f in "$app" "$driver"; do
  [ -f "$f" ] || { echo "run.sh: $f was not built" >&2; exit 1; }
done

own_display=0
app_pid=""
finish() {
  local rc=$?
  trap - EXIT INT TERM
  if [ -n "$app_pid" ] && kill -0 "$app_pid" 2>/dev/null; then
    kill "$app_pid" 2>/dev/null || true
  fi
  wine_env_cleanup
  [ -n "$app_pid" ] && wait "$app_pid" 2>/dev/null || true
  exit "$rc"
}
trap finish EXIT
trap 'exit 130' INT TERM

[ -z "${DISPLAY:-}" ] && own_display=1
wine_env_display "$logs/xvfb.log"
wine_env_prefix "$root/build/wineprefix-run"

echo "run.sh: starting kivo_config.exe (log: build/run-logs/kivo_config.log)"
wine "$app" >"$logs/kivo_config.log" 2>&1 &
app_pid=$!

# The logo is shown for two seconds first unless switched off.
title="KIVO-CONFIG FOR Windows"
if ! rect=$(wine "$driver" rect --title "$title" --visible --timeout 60000 2>"$logs/driver.log"); then
  echo "run.sh: the main window did not appear within 60 s (see $logs)" >&2
  exit 1
fi
# A message sent through the window's queue: the first paint is done by then.
wine "$driver" post --send --title "$title" --msg 0 >/dev/null 2>>"$logs/driver.log" || true
read -r left top right bottom <<<"$rect"
shot=$shots/run.png
crop="$((right - left))x$((bottom - top))+$((left < 0 ? 0 : left))+$((top < 0 ? 0 : top))"
import -window root -crop "$crop" +repage "$shot"
echo "run.sh: main window at $left,$top-$right,$bottom"
echo "run.sh: screenshot saved to $shot"
echo "run.sh: view it with: display $shot   (or open it in any image viewer)"

if [ "$own_display" = 1 ]; then
  # Ends the program the way a user does: tray icon menu -> exit.
  wine "$driver" post --title "$title" --msg 1025 --wparam 100 --lparam 0x204 2>>"$logs/driver.log" &&
    wine "$driver" menu-select --text "アプリケーションの終了(&A)" 2>>"$logs/driver.log" || true
  for _ in $(seq 1 100); do
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.1
  done
  echo "run.sh: program closed"
else
  echo "run.sh: kivo_config is running on $DISPLAY; end it from its tray icon menu"
  wait "$app_pid" || true
  app_pid=""
fi
