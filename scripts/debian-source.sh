#!/usr/bin/env bash
# Fetches Debian's source package PACKAGE into build/deps/src (once; does
# nothing when it is there) and prints the unpacked source folder. The version
# is the one of the installed binary package DEV (the native build's -dev
# package), so that both builds use the same code; without it, the newest.
# The source comes through apt with a project-local list that adds deb-src
# entries for the machine's own Debian sources; the machine's apt
# configuration is not touched.
# Usage: src=$(bash scripts/debian-source.sh PACKAGE [DEV])
#   e.g. bash scripts/debian-source.sh libpng1.6 libpng-dev
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: $0 PACKAGE [DEV]" >&2; exit 2; }
package=$1
dev=${2:-}
cd "$(dirname "$0")/.."
deps=$(pwd)/build/deps
mkdir -p "$deps/src"
# One fetch at a time: the win32 and the fuzzing builds of the libraries run
# at once (scripts/test.sh) and share the sources and the apt state here.
exec 9>"$deps/src.lock"
flock 9

# Debian's folder is PACKAGE-UPSTREAMVERSION; the source files beside it
# start with PACKAGE_.
unpacked() {
  find "$deps/src" -mindepth 1 -maxdepth 1 -type d -name "$package-[0-9]*" 2>/dev/null | head -n 1
}
src=$(unpacked)
if [ -n "$src" ] && [ -f "$src/.fetched" ]; then
  echo "$src"
  exit 0
fi
# The folder fetched before the marker existed is complete when apt's own
# files are beside it.
if [ -n "$src" ] && ls "$deps/src/${package}_"*.dsc >/dev/null 2>&1; then
  : >"$src/.fetched"
  echo "$src"
  exit 0
fi

apt_dir=$deps/apt
mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
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
log=$deps/apt-$package.log
echo "debian-source: fetching Debian's $package source" >&2
apt-get "${opts[@]}" -q update >"$log" 2>&1 \
  || { echo "debian-source: apt-get update failed, see $log" >&2; exit 1; }
installed=
[ -n "$dev" ] && installed=$(dpkg-query -W -f='${source:Version}' "$dev" 2>/dev/null || true)
# The installed version first, then the others newest first: a mirror may
# list a version whose files it does not hold.
versions=$( { [ -z "$installed" ] || echo "$installed"
              apt-cache "${opts[@]}" showsrc "$package" 2>/dev/null | awk '/^Version:/ {print $2}' \
                | sort -u -r -V | grep -vxF "${installed:-none}" || true; } )
[ -n "$versions" ] || { echo "debian-source: apt knows no source of $package, see $log" >&2; exit 1; }
fetched=
for version in $versions; do
  # Only this package's earlier files go; the other packages' sources stay.
  rm -rf "$deps/src/$package-"[0-9]* "$deps/src/${package}_"*
  if (cd "$deps/src" && apt-get "${opts[@]}" -q source "$package=$version" >>"$log" 2>&1); then
    fetched=$version
    break
  fi
done
[ -n "$fetched" ] || { echo "debian-source: apt-get source $package failed, see $log" >&2; exit 1; }
[ -z "$installed" ] || [ "$fetched" = "$installed" ] \
  || echo "debian-source: note: $package $installed is not there; fetched $fetched" >&2
src=$(unpacked)
[ -n "$src" ] || { echo "debian-source: no unpacked $package source in $deps/src" >&2; exit 1; }
: >"$src/.fetched"
echo "$src"
