#!/usr/bin/env bash
# Builds the libraries of the fuzzing build (build/fuzz) from the same Debian
# source packages as the other builds (scripts/debian-source.sh), compiled by
# clang with the fuzzer's coverage and the address and undefined-behaviour
# sanitizers, so that the picture targets explore the libraries' own
# branches and a bad write into our buffers is caught inside them too. Plain
# C code (no SIMD: the assembly would be neither instrumented nor checked).
# Each is cached in a folder of its own, built once:
#   build/deps/libjpeg-turbo-fuzz, zlib-fuzz, libpng-fuzz, giflib-fuzz
# each with include/ and lib/.
# Usage: bash scripts/deps-fuzz.sh   (does nothing when everything is there)
set -euo pipefail
cd "$(dirname "$0")/.."
flags="-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g"
# shellcheck source=scripts/deps-lib.sh
source scripts/deps-lib.sh fuzz clang ar "$flags -O1" \
  -DCMAKE_C_COMPILER=clang -DCMAKE_C_FLAGS="$flags" -DCMAKE_C_FLAGS_RELEASE="-O1"

if ! cached libjpeg-turbo lib/libjpeg.a include/jpeglib.h; then
  src=$(bash scripts/debian-source.sh libjpeg-turbo libjpeg62-turbo-dev)
  build=$deps/libjpeg-fuzz-build
  say "building $(basename "$src") with clang and the sanitizers"
  rm -f "$deps"/libjpeg-fuzz-*.log
  run libjpeg-fuzz-cmake.log cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release "${deps_cmake[@]}" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=OFF -DWITH_JPEG8=OFF
  run libjpeg-fuzz-build.log cmake --build "$build" --target jpeg-static
  prefix=$(prefix_of libjpeg-turbo)
  mkdir -p "$prefix/include" "$prefix/lib"
  cp "$src/jpeglib.h" "$src/jmorecfg.h" "$src/jerror.h" "$build/jconfig.h" "$prefix/include/"
  cp "$build/libjpeg.a" "$prefix/lib/libjpeg.a"
fi
build_zlib
build_libpng
build_giflib
