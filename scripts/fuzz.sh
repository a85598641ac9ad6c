#!/usr/bin/env bash
# Builds the fuzz targets (build/fuzz: clang, libFuzzer, address and
# undefined-behaviour sanitizers) and runs each one, one after the other,
# for SECONDS_PER_TARGET on its corpus (build/fuzz/corpus/<target>: the starting inputs
# the build writes, plus what earlier runs added). Fails when any target
# crashes, leaks, trips a sanitizer or breaks one of its properties; the
# input is kept in build/fuzz/artifacts/<target>/ and the report in
# build/fuzz/logs/<target>.log.
# Usage: bash scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET ...]   (default 15 s, every target)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
seconds=${1:-15}
shift || true
case $seconds in '' | *[!0-9]*) echo "fuzz.sh: SECONDS_PER_TARGET must be a number" >&2; exit 2 ;; esac

bash scripts/install-deps.sh >/dev/null
bash scripts/deps-fuzz.sh
out=$root/build/fuzz
echo "fuzz.sh: fuzzing build (build/fuzz)"
cmake -S . -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKIVO_FUZZ=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$out" -j "$(nproc 2>/dev/null || echo 2)" >"$out/build.log" 2>&1 \
  || { tail -n 40 "$out/build.log" >&2; echo "fuzz.sh: the fuzzing build failed (build/fuzz/build.log)" >&2; exit 1; }

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then mapfile -t targets <"$out/targets.txt"; fi

# Every sanitizer report ends the run with an error; leaks are reported.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:symbolize=1:allocator_may_return_null=1
export UBSAN_OPTIONS=halt_on_error=1:abort_on_error=1:print_stacktrace=1
command -v llvm-symbolizer >/dev/null 2>&1 && export ASAN_SYMBOLIZER_PATH=$(command -v llvm-symbolizer)
mkdir -p "$out/logs"
failed=()
for t in "${targets[@]}"; do
  exe=$out/fuzz/fuzz_$t
  [ -x "$exe" ] || { echo "fuzz.sh: no target $t" >&2; failed+=("$t"); continue; }
  mkdir -p "$out/corpus/$t" "$out/artifacts/$t"
  log=$out/logs/$t.log
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
    echo "fuzz: $t: ${runs:-0} executions in ${seconds} s, corpus $inputs inputs: ok"
  else
    artifact=$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log" | tail -n 1)
    what=$(grep -m1 -E 'ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:|property failed:' "$log" || true)
    echo "fuzz: $t: ${runs:-0} executions, FAILED: ${what:-exit code $rc}"
    echo "fuzz:   input ${artifact:-(none)}; report build/fuzz/logs/$t.log"
    failed+=("$t")
  fi
done
if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz.sh: failed: ${failed[*]} (keep each input under tests/fuzz_regressions/<target>/ with its fix)"
  exit 1
fi
echo "fuzz.sh: ${#targets[@]} targets, no findings"
