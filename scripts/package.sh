#!/usr/bin/env bash
# Builds the release packages into build/dist/:
#   kivo_config-<version>-setup.exe     NSIS installer (per user, /S for silent)
#   kivo_config-<version>-portable.zip  the program, a read-me, the licence and
#                                       the notices of the libraries in it
# The version is the one in the VERSION file.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/build.sh win32 >/dev/null  # installs what is missing (nsis, zip …) first

version=$(tr -d ' \r\n' <VERSION)
dist=$root/build/dist
exe=$root/build/win32/app/kivo_config.exe
mkdir -p "$dist"
rm -f "$dist"/kivo_config-*-setup.exe "$dist"/kivo_config-*-portable.zip

# The notices of the libraries linked into the program, as Debian records
# their copyright and licences (debian/copyright of the sources they were
# built from).
notices=$root/build/package/THIRD-PARTY-NOTICES.txt
mkdir -p "$root/build/package"
{
  echo "kivo_config contains the following libraries, each under its own licence."
  for p in libjpeg-turbo zlib libpng1.6 giflib; do
    src=$(find "$root/build/deps/src" -mindepth 1 -maxdepth 1 -type d -name "$p-[0-9]*" | head -n 1)
    [ -n "$src" ] && [ -f "$src/debian/copyright" ] \
      || { echo "package.sh: no copyright file of $p in build/deps/src" >&2; exit 1; }
    printf '\n==== %s ====\n\n' "$(basename "$src")"
    cat "$src/debian/copyright"
  done
} >"$notices"

makensis -V2 -DVERSION="$version" -DEXE="$exe" -DNOTICES="$notices" \
  -DICON="$root/app/resources/kivo_config.ico" \
  -DOUTFILE="$dist/kivo_config-$version-setup.exe" installer/kivo_config.nsi

stage=$root/build/package/kivo_config-$version
rm -rf "$stage"
mkdir -p "$stage"
cp "$exe" "$stage/"
cp installer/README-ja.txt installer/README-en.txt "$stage/"
cp LICENSE "$stage/LICENSE.txt"
cp "$notices" "$stage/"
(cd "$stage/.." && zip -q -r "$dist/kivo_config-$version-portable.zip" "kivo_config-$version")
echo "package.sh: $(cd "$dist" && ls kivo_config-"$version"-*)"
