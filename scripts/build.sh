#!/usr/bin/env bash
# Installs what is missing, then configures and builds both builds:
#   build/native  headless toolkit + simulated machine, unit and e2e test runners
#   build/win32   kivo_config.exe, kivo_driver.exe, bench_minimal.exe (MinGW-w64 i686)
# Usage: bash scripts/build.sh [win32|native|both] [TARGET...]
#   (default: both, every target; with targets, only those of the win32 build,
#   e.g. `build.sh win32 kivo_config kivo_driver`, as scripts/run.sh does)
set -euo pipefail
which=${1:-both}
shift || true
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

missing=()
for tool in cmake ninja g++ i686-w64-mingw32-g++-win32 i686-w64-mingw32-windres wine Xvfb import; do
  command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
done
if [ ${#missing[@]} -ne 0 ]; then
  echo "build.sh: missing after scripts/install-deps.sh: ${missing[*]}" >&2
  exit 1
fi

jobs=$(nproc 2>/dev/null || echo 2)

if [ "$which" != native ]; then
  bash scripts/deps-win32.sh
  echo "build.sh: win32 build (build/win32)"
  cmake -S . -B build/win32 -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
  cmake --build build/win32 -j "$jobs" "${targets[@]}"
fi
if [ "$which" != win32 ]; then
  echo "build.sh: native build (build/native)"
  cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
  cmake --build build/native -j "$jobs"
fi
echo "build.sh: build ($which) is up to date"
