#!/usr/bin/env bash
# Fetches Debian's source package of the libjpeg-turbo the native build uses
# into build/deps/src (once; does nothing when it is there) and prints the
# unpacked source folder. The source comes through apt with a project-local
# list that adds deb-src entries for the machine's own Debian sources; the
# machine's apt configuration is not touched.
# Usage: src=$(bash scripts/libjpeg-source.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
deps=$(pwd)/build/deps

unpacked() { find "$deps/src" -mindepth 1 -maxdepth 1 -type d -name 'libjpeg-turbo-*' 2>/dev/null | head -n 1; }
src=$(unpacked)
if [ -n "$src" ] && [ -f "$src/CMakeLists.txt" ]; then
  echo "$src"
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
echo "libjpeg-source: fetching Debian's libjpeg-turbo source" >&2
apt-get "${opts[@]}" -q update >"$deps/apt-update.log" 2>&1 \
  || { echo "libjpeg-source: apt-get update failed, see $deps/apt-update.log" >&2; exit 1; }
version=$(dpkg-query -W -f='${source:Version}' libjpeg62-turbo-dev 2>/dev/null || true)
rm -rf "$deps/src"/*
(cd "$deps/src" && apt-get "${opts[@]}" -q source "libjpeg-turbo${version:+=$version}" >"$deps/apt-source.log" 2>&1) \
  || (cd "$deps/src" && apt-get "${opts[@]}" -q source libjpeg-turbo >>"$deps/apt-source.log" 2>&1) \
  || { echo "libjpeg-source: apt-get source failed, see $deps/apt-source.log" >&2; exit 1; }
src=$(unpacked)
[ -n "$src" ] || { echo "libjpeg-source: no unpacked source in $deps/src" >&2; exit 1; }
echo "$src"
