#!/usr/bin/env bash
# Builds everything, then runs every test (unit and end-to-end, and a short
# fuzzing run of every parser of outside bytes: scripts/fuzz.sh,
# KIVO_FUZZ_SECONDS per target, default 15) with ctest, two at once for each core
# (KIVO_TEST_JOBS to choose; tests labelled "alone" run by themselves).
# Prints where the time went and the ten slowest tests, and ends with
# ctest's summary line. Exit code = ctest's, or the failing step's.
# Extra arguments go to ctest (e.g. -R FirstStart, -LE e2e).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
logs=$root/build/logs
mkdir -p "$logs"
times=$logs/test-times.txt
: >"$times"
run_start=$SECONDS

# Runs a step, noting how long it took under its name.
timed() {
  local name=$1 start=$SECONDS rc=0
  shift
  "$@" || rc=$?
  echo "$name $((SECONDS - start))" >>"$times"
  return $rc
}

# A step in the background with its output in build/logs/<name>.log; `finish`
# waits for it and shows the log's end when it failed.
declare -A step_pids=()
background() {
  local name=$1
  shift
  timed "$name" "$@" >"$logs/$name.log" 2>&1 &
  step_pids[$name]=$!
}
finish() {
  local name=$1
  if ! wait "${step_pids[$name]}"; then
    tail -n 40 "$logs/$name.log" >&2
    echo "test.sh: $name failed (build/logs/$name.log)" >&2
    exit 1
  fi
  grep -E '^(build\.sh|package|fuzz\.sh): ' "$logs/$name.log" | tail -n 3 || true
}

timed install bash scripts/install-deps.sh

# The three builds at once: each has long stretches on one core (the
# libraries' configure scripts, links, the installer) that the others fill.
# The release packages too: the end-to-end tests install them.
build_win32() { bash scripts/build.sh win32 && bash scripts/package.sh; }
background build-win32 build_win32
background build-native bash scripts/build.sh native
background build-fuzz bash scripts/fuzz.sh --build-only
finish build-native
finish build-fuzz
finish build-win32

work=$root/build/native/e2e/work
# The e2e tests of this run boot their own template prefix (once, shared by
# all test processes of the run); see e2e/harness.cpp.
export KIVO_E2E_RUN_ID=run$$

# Stops the wineservers of test prefixes whose test process is gone (by
# prefix, never by process name), removes them and this run's template.
cleanup() {
  local p pid
  for p in "$work"/prefixes/*-*/; do
    [ -d "$p" ] || continue
    p=${p%/}
    pid=${p##*-}
    if ! kill -0 "$pid" 2>/dev/null; then
      WINEPREFIX=$p wineserver -k >/dev/null 2>&1 || true
      rm -rf "$p"
    fi
  done
  if [ -d "$work/template-$KIVO_E2E_RUN_ID" ]; then
    WINEPREFIX=$work/template-$KIVO_E2E_RUN_ID wineserver -k >/dev/null 2>&1 || true
  fi
  rm -rf "$work/template-$KIVO_E2E_RUN_ID" "$work/template-$KIVO_E2E_RUN_ID".*
}
trap cleanup EXIT
trap 'exit 130' INT TERM
cleanup

# A short start-up benchmark (5 starts of each program, beside the twin) so
# that a change that slows the start shows in the log; its figures never
# fail the run. Alone on the machine, before the tests.
benchmark() {
  bash bench/run.sh 5 --no-windows 2>&1 | sed -n '/^start-up to visible/,$p' ||
    echo "test.sh: the start-up benchmark did not run"
}
timed benchmark benchmark

# Every test, two at once for each core, the short fuzzing run of every
# parser of outside bytes among them (Fuzz.EveryParser, started first, one
# target at a time for KIVO_FUZZ_SECONDS each) (an end-to-end test mostly waits on
# Wine: at two a core the machine is about half busy): each end-to-end test
# has its own Wine prefix, wineserver and X server. Those that measure time
# or need idle cores are labelled "alone" (e2e/ctest_order.cmake) and run by
# themselves.
jobs=${KIVO_TEST_JOBS:-$((2 * $(nproc 2>/dev/null || echo 1)))}
ctest_log=$logs/ctest.log
rm -f build/fuzz/logs/summary.txt
set +e
timed tests ctest --test-dir build/native --output-on-failure -j "$jobs" "$@" 2>&1 | tee "$ctest_log"
rc=${PIPESTATUS[0]}
set -e
echo "total $((SECONDS - run_start))" >>"$times"

# Where the time went, the ten slowest tests, then ctest's summary again as
# the last line.
echo
echo "test.sh: where the time went (s; the three builds ran at once)"
awk '{ printf "  %-14s %5d\n", $1, $2 }' "$times"
echo "test.sh: the ten slowest tests (s)"
sed -n 's/^ *[0-9]*\/[0-9]* Test *#[0-9]*: \([^ ]*\) .*[A-Za-z*]  *\([0-9.]*\) sec$/\2 \1/p' "$ctest_log" |
  sort -rn | head -n 10 | awk '{ printf "  %7.1f  %s\n", $1, $2 }'
[ -f build/fuzz/logs/summary.txt ] && cat build/fuzz/logs/summary.txt build/fuzz/logs/*.line
grep -E '^[0-9]+% tests passed' "$ctest_log" | tail -n 1
exit $rc
