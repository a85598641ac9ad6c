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
root=$(pwd)
deps=$root/build/deps
toolchain=$root/cmake/mingw-i686.cmake
cc=i686-w64-mingw32-gcc-win32
ar=i686-w64-mingw32-ar

say() { echo "deps-win32: $*"; }
fail() { echo "deps-win32: $*" >&2; exit 1; }
# cached NAME FILE...: true when the library NAME's files are all there.
cached() {
  local prefix=$deps/$1-i686 f
  shift
  for f in "$@"; do [ -f "$prefix/$f" ] || return 1; done
}
# run LOG COMMAND...: runs a build step with its output added to build/deps/LOG.
run() {
  local log=$deps/$1
  shift
  "$@" >>"$log" 2>&1 || fail "$(basename "$1") failed, see $log"
}
# static_lib NAME LIB SRC HEADERS -- SOURCES...: compiles plain C sources into
# build/deps/NAME-i686/lib/LIB and copies HEADERS (space-separated) beside.
static_lib() {
  local name=$1 lib=$2 src=$3 headers=$4
  shift 5
  local prefix=$deps/$name-i686 obj=$deps/$name-build s
  rm -rf "$obj" "$deps/$name-build.log" && mkdir -p "$obj" "$prefix/include" "$prefix/lib"
  for s in "$@"; do
    run "$name-build.log" "$cc" -O2 -DNDEBUG -c "$src/$s" -o "$obj/${s%.c}.o"
  done
  rm -f "$prefix/lib/$lib"
  run "$name-build.log" "$ar" rcs "$prefix/lib/$lib" "$obj"/*.o
  for s in $headers; do cp "$src/$s" "$prefix/include/"; done
}

if ! cached libjpeg-turbo lib/libjpeg.a include/jpeglib.h; then
  src=$(bash scripts/debian-source.sh libjpeg-turbo libjpeg62-turbo-dev)
  say "building $(basename "$src")"
  rm -f "$deps"/libjpeg-*.log
  run libjpeg-cmake.log cmake -S "$src" -B "$deps/libjpeg-build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$deps/libjpeg-turbo-i686" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=ON \
    -DWITH_JPEG8=OFF -DCMAKE_ASM_NASM_COMPILER=nasm
  run libjpeg-build.log cmake --build "$deps/libjpeg-build" --target install
  grep -q "SIMD extensions: i386" "$deps/libjpeg-cmake.log" || say "note: libjpeg-turbo built without SIMD"
fi

if ! cached zlib lib/libz.a include/zlib.h include/zconf.h; then
  src=$(bash scripts/debian-source.sh zlib zlib1g-dev)
  say "building $(basename "$src")"
  # zlib's own build scripts for Windows are not in Debian's source; the
  # library is plain C that needs no configuration.
  static_lib zlib libz.a "$src" "zlib.h zconf.h" -- \
    adler32.c compress.c crc32.c deflate.c gzclose.c gzlib.c gzread.c gzwrite.c \
    infback.c inffast.c inflate.c inftrees.c trees.c uncompr.c zutil.c
fi

if ! cached libpng lib/libpng16.a include/png.h include/pnglibconf.h; then
  src=$(bash scripts/debian-source.sh libpng1.6 libpng-dev)
  say "building $(basename "$src")"
  rm -f "$deps"/libpng-*.log
  run libpng-cmake.log cmake -S "$src" -B "$deps/libpng-build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$deps/libpng-i686" \
    -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DZLIB_INCLUDE_DIR="$deps/zlib-i686/include" -DZLIB_LIBRARY="$deps/zlib-i686/lib/libz.a"
  run libpng-build.log cmake --build "$deps/libpng-build" --target install
fi

if ! cached giflib lib/libgif.a include/gif_lib.h; then
  src=$(bash scripts/debian-source.sh giflib libgif-dev)
  say "building $(basename "$src")"
  static_lib giflib libgif.a "$src" "gif_lib.h" -- \
    dgif_lib.c egif_lib.c gifalloc.c gif_err.c gif_font.c gif_hash.c \
    openbsd-reallocarray.c quantize.c
fi
