#!/usr/bin/env bash
# Builds libjpeg-turbo for the 32-bit Windows build, from Debian's own source
# package of the libjpeg-turbo the native build uses, with its SIMD code
# (nasm). The source comes through apt with a project-local list that adds
# deb-src entries for the machine's own Debian sources; the machine's apt
# configuration is not touched. The result is cached:
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

apt_dir=$deps/apt
mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$deps/src"
: >"$apt_dir/sources.list"
rm -f "$apt_dir/sources.list.d/"*
# deb-src twins of the machine's Debian entries, in both of apt's formats.
for f in /etc/apt/sources.list.d/*.sources; do
  [ -f "$f" ] || continue
  grep -qi 'debian' "$f" || continue
  sed -e 's/^Types:.*/Types: deb-src/' "$f" >"$apt_dir/sources.list.d/$(basename "$f")"
done
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
  [ -f "$f" ] || continue
  grep -E '^deb [^#]*debian' "$f" | sed -e 's/^deb /deb-src /' >>"$apt_dir/sources.list" || true
done
opts=(-o "Dir::Etc::SourceList=$apt_dir/sources.list"
      -o "Dir::Etc::SourceParts=$apt_dir/sources.list.d"
      -o "Dir::State::Lists=$apt_dir/lists"
      -o "Dir::Cache=$apt_dir/cache"
      -o "APT::Sandbox::User=root")
echo "libjpeg-win32: fetching Debian's libjpeg-turbo source"
apt-get "${opts[@]}" -q update >"$deps/apt-update.log" 2>&1 \
  || { echo "libjpeg-win32: apt-get update failed, see $deps/apt-update.log" >&2; exit 1; }
version=$(dpkg-query -W -f='${source:Version}' libjpeg62-turbo-dev 2>/dev/null || true)
rm -rf "$deps/src"/*
(cd "$deps/src" && apt-get "${opts[@]}" -q source "libjpeg-turbo${version:+=$version}" >"$deps/apt-source.log" 2>&1) \
  || (cd "$deps/src" && apt-get "${opts[@]}" -q source libjpeg-turbo >>"$deps/apt-source.log" 2>&1) \
  || { echo "libjpeg-win32: apt-get source failed, see $deps/apt-source.log" >&2; exit 1; }
src=$(find "$deps/src" -mindepth 1 -maxdepth 1 -type d -name 'libjpeg-turbo-*' | head -n 1)
[ -n "$src" ] || { echo "libjpeg-win32: no unpacked source in $deps/src" >&2; exit 1; }

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
