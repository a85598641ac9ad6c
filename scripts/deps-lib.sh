# What scripts/deps-win32.sh and scripts/deps-fuzz.sh share: building
# zlib, libpng and giflib from Debian's source packages
# (scripts/debian-source.sh) with a given compiler into
# build/deps/<name>-<KIND>/{include,lib}, once.
# Source it: source scripts/deps-lib.sh KIND CC AR CFLAGS [CMAKE ARGUMENTS...]
#   KIND   the folders' suffix ("i686", "fuzz")
#   CC AR  the C compiler and archiver of plain-C builds
#   CMAKE ARGUMENTS  what a CMake build needs for that compiler (a toolchain
#          file, or CMAKE_C_COMPILER and flags)
deps_kind=$1 cc=$2 ar=$3 cflags=$4
shift 4
deps_cmake=("$@")
root=$(pwd)
deps=$root/build/deps
script=deps-$deps_kind

say() { echo "$script: $*"; }
fail() { echo "$script: $*" >&2; exit 1; }
prefix_of() { echo "$deps/$1-$deps_kind"; }
# cached NAME FILE...: true when the library NAME's files are all there.
cached() {
  local prefix f
  prefix=$(prefix_of "$1")
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
# <prefix>/lib/LIB and copies HEADERS (space-separated) into <prefix>/include.
static_lib() {
  local name=$1 lib=$2 src=$3 headers=$4 prefix obj s
  shift 5
  prefix=$(prefix_of "$name")
  obj=$deps/$name-$deps_kind-build
  rm -rf "$obj" "$obj.log" && mkdir -p "$obj" "$prefix/include" "$prefix/lib"
  for s in "$@"; do
    # shellcheck disable=SC2086
    run "$name-$deps_kind-build.log" "$cc" $cflags -DNDEBUG -c "$src/$s" -o "$obj/${s%.c}.o"
  done
  rm -f "$prefix/lib/$lib"
  run "$name-$deps_kind-build.log" "$ar" rcs "$prefix/lib/$lib" "$obj"/*.o
  for s in $headers; do cp "$src/$s" "$prefix/include/"; done
}

build_zlib() {
  cached zlib lib/libz.a include/zlib.h include/zconf.h && return 0
  local src
  src=$(bash scripts/debian-source.sh zlib zlib1g-dev)
  say "building $(basename "$src")"
  # zlib's own build scripts for Windows are not in Debian's source; the
  # library is plain C that needs no configuration.
  static_lib zlib libz.a "$src" "zlib.h zconf.h" -- \
    adler32.c compress.c crc32.c deflate.c gzclose.c gzlib.c gzread.c gzwrite.c \
    infback.c inffast.c inflate.c inftrees.c trees.c uncompr.c zutil.c
}

build_libpng() {
  cached libpng lib/libpng16.a include/png.h include/pnglibconf.h && return 0
  local src build
  src=$(bash scripts/debian-source.sh libpng1.6 libpng-dev)
  build=$deps/libpng-$deps_kind-build
  say "building $(basename "$src")"
  rm -f "$deps/libpng-$deps_kind-"*.log
  run "libpng-$deps_kind-cmake.log" cmake -S "$src" -B "$build" -G Ninja "${deps_cmake[@]}" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$(prefix_of libpng)" \
    -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DZLIB_INCLUDE_DIR="$(prefix_of zlib)/include" -DZLIB_LIBRARY="$(prefix_of zlib)/lib/libz.a"
  run "libpng-$deps_kind-build.log" cmake --build "$build" --target install
}

build_giflib() {
  cached giflib lib/libgif.a include/gif_lib.h && return 0
  local src
  src=$(bash scripts/debian-source.sh giflib libgif-dev)
  say "building $(basename "$src")"
  static_lib giflib libgif.a "$src" "gif_lib.h" -- \
    dgif_lib.c egif_lib.c gifalloc.c gif_err.c gif_font.c gif_hash.c \
    openbsd-reallocarray.c quantize.c
}
