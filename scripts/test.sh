#!/usr/bin/env bash
# Builds both builds, fuzzes every parser of outside bytes for a short while
# (scripts/fuzz.sh; KIVO_FUZZ_SECONDS per target, default 15), then runs
# every test (unit and end-to-end) with ctest. Exit code = ctest's, or the
# fuzzing's when it found something. Extra arguments go to ctest (e.g.
# -R FirstStart, -LE e2e).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

start=$SECONDS
bash scripts/build.sh
# The release packages too: the end-to-end tests install them.
bash scripts/package.sh
echo "test.sh: builds and packages took $((SECONDS - start)) s"

# A short fuzzing run of every parser of outside bytes (scripts/fuzz.sh);
# a finding fails the run before the tests start.
start=$SECONDS
bash scripts/fuzz.sh "${KIVO_FUZZ_SECONDS:-15}"
echo "test.sh: fuzzing took $((SECONDS - start)) s"

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
# fail the run. Before the tests, so that ctest's summary ends the output.
start=$SECONDS
bash bench/run.sh 5 --no-windows 2>&1 | sed -n '/^start-up to visible/,$p' ||
  echo "test.sh: the start-up benchmark did not run"
echo "test.sh: start-up benchmark took $((SECONDS - start)) s"

# ctest's summary ("100% tests passed, ...") and total time end the output.
set +e
ctest --test-dir build/native --output-on-failure "$@"
rc=$?
set -e
exit $rc
