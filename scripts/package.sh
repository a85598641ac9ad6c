#!/usr/bin/env bash
# Builds the release packages into build/dist/:
#   kivo_config-<version>-setup.exe     NSIS installer (per user, /S for silent)
#   kivo_config-<version>-portable.zip  the program, a read-me and the licence
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

makensis -V2 -DVERSION="$version" -DEXE="$exe" -DICON="$root/app/resources/kivo_config.ico" \
  -DOUTFILE="$dist/kivo_config-$version-setup.exe" installer/kivo_config.nsi

stage=$root/build/package/kivo_config-$version
rm -rf "$stage"
mkdir -p "$stage"
cp "$exe" "$stage/"
cp installer/README-ja.txt installer/README-en.txt "$stage/"
cp LICENSE "$stage/LICENSE.txt"
(cd "$stage/.." && zip -q -r "$dist/kivo_config-$version-portable.zip" "kivo_config-$version")
echo "package.sh: $(cd "$dist" && ls kivo_config-"$version"-*)"
