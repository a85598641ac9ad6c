#!/usr/bin/env bash
# Builds the fuzz targets (build/fuzz: clang, libFuzzer, address and
# undefined-behaviour sanitizers) and runs each one for SECONDS_PER_TARGET on
# its corpus (build/fuzz/corpus/<target>: the starting inputs the build
# writes, plus what earlier runs added), as many at once as the machine has
# cores (KIVO_FUZZ_JOBS to choose). Fails when any target crashes, leaks,
# trips a sanitizer or breaks one of its properties; the input is kept in
# build/fuzz/artifacts/<target>/ and the report in build/fuzz/logs/<target>.log.
# Usage: bash scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET ...]   (default KIVO_FUZZ_SECONDS or 15 s,
#                                                                  every target)
#        bash scripts/fuzz.sh --build-only                        (the build alone)
#        bash scripts/fuzz.sh --run-only [SECONDS] [TARGET ...]   (what is built, no build; exit 77
#                                                                  when nothing is: Fuzz.EveryParser)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=$root/build/fuzz
mode=all
case ${1:-} in
  --build-only) mode=build; shift ;;
  --run-only) mode=run; shift ;;
esac
seconds=${1:-${KIVO_FUZZ_SECONDS:-15}}
shift || true
[ $mode = build ] && seconds=0
case $seconds in '' | *[!0-9]*) echo "fuzz.sh: SECONDS_PER_TARGET must be a number" >&2; exit 2 ;; esac

if [ $mode = run ]; then
  if [ ! -s "$out/targets.txt" ]; then
    echo "fuzz.sh: the fuzz targets are not built (bash scripts/fuzz.sh --build-only)"
    exit 77
  fi
else
  bash scripts/install-deps.sh >/dev/null
  bash scripts/deps-fuzz.sh
  echo "fuzz.sh: fuzzing build (build/fuzz)"
  # -O1, as libFuzzer's documentation builds its targets: with the sanitizers
  # it runs nearly as fast as -O2 and builds in less time.
  cmake -S . -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKIVO_FUZZ=ON \
    -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g -DNDEBUG" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g -DNDEBUG" \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
  cmake --build "$out" -j "$(nproc 2>/dev/null || echo 2)" >"$out/build.log" 2>&1 ||
    { tail -n 40 "$out/build.log" >&2; echo "fuzz.sh: the fuzzing build failed (build/fuzz/build.log)" >&2; exit 1; }
  [ $mode = build ] && { echo "fuzz.sh: built"; exit 0; }
fi

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then mapfile -t targets <"$out/targets.txt"; fi

# Every sanitizer report ends the run with an error; leaks are reported.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:symbolize=1:allocator_may_return_null=1
export UBSAN_OPTIONS=halt_on_error=1:abort_on_error=1:print_stacktrace=1
command -v llvm-symbolizer >/dev/null 2>&1 && export ASAN_SYMBOLIZER_PATH=$(command -v llvm-symbolizer)
mkdir -p "$out/logs"
jobs=${KIVO_FUZZ_JOBS:-$(nproc 2>/dev/null || echo 2)}

# One target: its run, then its line (in $out/logs/<target>.line) and 0 or 1.
fuzz_one() {
  local t=$1 exe=$out/fuzz/fuzz_$1 log=$out/logs/$1.log line=$out/logs/$1.line rc runs inputs artifact what
  if [ ! -x "$exe" ]; then echo "fuzz.sh: no target $t" >"$line"; return 1; fi
  mkdir -p "$out/corpus/$t" "$out/artifacts/$t"
  set +e
  "$exe" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2560 -print_final_stats=1 \
    -artifact_prefix="$out/artifacts/$t/" "$out/corpus/$t" >"$log" 2>&1
  rc=$?
  set -e
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  if [ -z "$runs" ]; then
    runs=$(grep -o '^#[0-9]*' "$log" | tail -n 1 | tr -d '#')
  fi
  inputs=$(find "$out/corpus/$t" -type f | wc -l)
  if [ $rc -eq 0 ]; then
    echo "fuzz: $t: ${runs:-0} executions in ${seconds} s, corpus $inputs inputs: ok" >"$line"
    return 0
  fi
  artifact=$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log" | tail -n 1)
  what=$(grep -m1 -E 'ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:|property failed:' "$log" || true)
  {
    echo "fuzz: $t: ${runs:-0} executions, FAILED: ${what:-exit code $rc}"
    echo "fuzz:   input ${artifact:-(none)}; report build/fuzz/logs/$t.log"
  } >"$line"
  return 1
}

# The targets, $jobs at a time; each one's line in the targets' order.
running=0
for t in "${targets[@]}"; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
  rm -f "$out/logs/$t.line"
  (fuzz_one "$t" && echo 0 >"$out/logs/$t.rc" || echo 1 >"$out/logs/$t.rc") &
  running=$((running + 1))
done
wait
failed=()
for t in "${targets[@]}"; do
  [ "$(cat "$out/logs/$t.rc" 2>/dev/null)" = 0 ] || failed+=("$t")
  cat "$out/logs/$t.line" 2>/dev/null || echo "fuzz: $t: did not run"
done
if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz.sh: failed: ${failed[*]} (keep each input under tests/fuzz_regressions/<target>/ with its fix)" |
    tee "$out/logs/summary.txt"
  exit 1
fi
echo "fuzz.sh: ${#targets[@]} targets, no findings" | tee "$out/logs/summary.txt"
