#!/usr/bin/env bash
# Builds the libraries of the 32-bit Windows build from Debian's own source
# packages of the libraries the native build uses (scripts/debian-source.sh),
# static, with the MinGW-w64 cross compiler (cmake/mingw-i686.cmake). Each is
# cached in a folder of its own, built once:
#   build/deps/libjpeg-turbo-i686  libjpeg-turbo with its SIMD code (nasm);
#                                  its djpeg.exe is a benchmark's reference
#   build/deps/zlib-i686           zlib
#   build/deps/libpng-i686         libpng, over that zlib
#   build/deps/giflib-i686         giflib
# each with include/ and lib/.
# Usage: bash scripts/deps-win32.sh   (does nothing when everything is there)
set -euo pipefail
cd "$(dirname "$0")/.."
toolchain=$(pwd)/cmake/mingw-i686.cmake
# shellcheck source=scripts/deps-lib.sh
source scripts/deps-lib.sh i686 i686-w64-mingw32-gcc-win32 i686-w64-mingw32-ar "-O2" \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain"
script=deps-win32

if ! cached libjpeg-turbo lib/libjpeg.a include/jpeglib.h; then
  src=$(bash scripts/debian-source.sh libjpeg-turbo libjpeg62-turbo-dev)
  say "building $(basename "$src")"
  rm -f "$deps"/libjpeg-*.log
  run libjpeg-cmake.log cmake -S "$src" -B "$deps/libjpeg-build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$(prefix_of libjpeg-turbo)" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=ON \
    -DWITH_JPEG8=OFF -DCMAKE_ASM_NASM_COMPILER=nasm
  run libjpeg-build.log cmake --build "$deps/libjpeg-build" --target install
  grep -q "SIMD extensions: i386" "$deps/libjpeg-cmake.log" || say "note: libjpeg-turbo built without SIMD"
fi
build_zlib
build_libpng
build_giflib
