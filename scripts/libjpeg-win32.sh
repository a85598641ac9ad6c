#!/usr/bin/env bash
# Builds libjpeg-turbo for the 32-bit Windows build, from Debian's own source
# package of the libjpeg-turbo the native build uses (scripts/libjpeg-source.sh),
# with its SIMD code (nasm). The result is cached:
#   build/deps/libjpeg-turbo-i686/{include,lib}
# Usage: bash scripts/libjpeg-win32.sh   (does nothing when the cache is there)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
deps=$root/build/deps
prefix=$deps/libjpeg-turbo-i686
if [ -f "$prefix/lib/libjpeg.a" ] && [ -f "$prefix/include/jpeglib.h" ]; then
  exit 0
fi

src=$(bash scripts/libjpeg-source.sh)

echo "libjpeg-win32: building $(basename "$src") for i686 Windows"
cmake -S "$src" -B "$deps/libjpeg-build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=ON \
  -DWITH_JPEG8=OFF -DCMAKE_ASM_NASM_COMPILER=nasm >"$deps/libjpeg-cmake.log" 2>&1 \
  || { echo "libjpeg-win32: configuring failed, see $deps/libjpeg-cmake.log" >&2; exit 1; }
cmake --build "$deps/libjpeg-build" --target install >"$deps/libjpeg-build.log" 2>&1 \
  || { echo "libjpeg-win32: building failed, see $deps/libjpeg-build.log" >&2; exit 1; }
grep -q "SIMD extensions: i386" "$deps/libjpeg-cmake.log" || echo "libjpeg-win32: note: built without SIMD"
echo "libjpeg-win32: installed in $prefix"
