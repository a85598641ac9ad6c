#!/usr/bin/env bash
# Builds libjpeg-turbo for the fuzzing build (build/fuzz): the same Debian
# source as the other builds (scripts/debian-source.sh), compiled by clang
# with the fuzzer's coverage and the address and undefined-behaviour
# sanitizers, so that the JPEG target explores the decoder's own branches and
# a bad write into our buffers is caught inside the library too. Plain C code
# (no SIMD: the assembly would be neither instrumented nor checked). Cached:
#   build/deps/libjpeg-turbo-fuzz/{include,lib}
# Usage: bash scripts/libjpeg-fuzz.sh   (does nothing when the cache is there)
set -euo pipefail
cd "$(dirname "$0")/.."
deps=$(pwd)/build/deps
prefix=$deps/libjpeg-turbo-fuzz
if [ -f "$prefix/lib/libjpeg.a" ] && [ -f "$prefix/include/jpeglib.h" ]; then
  exit 0
fi

src=$(bash scripts/debian-source.sh libjpeg-turbo libjpeg62-turbo-dev)
build=$deps/libjpeg-fuzz-build
flags="-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g"
echo "libjpeg-fuzz: building $(basename "$src") with clang and the sanitizers"
cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_C_COMPILER=clang -DCMAKE_C_FLAGS="$flags" -DCMAKE_C_FLAGS_RELEASE="-O1" \
  -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=OFF \
  -DWITH_JPEG8=OFF >"$deps/libjpeg-fuzz-cmake.log" 2>&1 \
  || { echo "libjpeg-fuzz: configuring failed, see $deps/libjpeg-fuzz-cmake.log" >&2; exit 1; }
cmake --build "$build" --target jpeg-static >"$deps/libjpeg-fuzz-build.log" 2>&1 \
  || { echo "libjpeg-fuzz: building failed, see $deps/libjpeg-fuzz-build.log" >&2; exit 1; }
mkdir -p "$prefix/include" "$prefix/lib"
cp "$src/jpeglib.h" "$src/jmorecfg.h" "$src/jerror.h" "$build/jconfig.h" "$prefix/include/"
cp "$build/libjpeg.a" "$prefix/lib/libjpeg.a"
echo "libjpeg-fuzz: installed in $prefix"
