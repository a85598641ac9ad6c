#!/usr/bin/env bash
# Prepares a Wine prefix of your own for kivo_config: installs the IPA Gothic
# fonts (Debian's fonts-ipafont-gothic) when they are missing and maps the
# Japanese Windows UI fonts to them, so that menus and controls show Japanese
# text in the room it has on Windows.
# Usage: bash scripts/prepare-prefix.sh [prefix]   (default: $WINEPREFIX or ~/.wine)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"

prefix=${1:-${WINEPREFIX:-$HOME/.wine}}
export WINEPREFIX=$prefix
# A prefix of your own keeps its own architecture.
unset WINEARCH
for pkg in fonts-ipafont-gothic fonts-wine; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO=sudo
    $SUDO apt-get update -q
    $SUDO apt-get install -y -q "$pkg"
  fi
done
[ -d "$prefix" ] || wineboot -i
reg=$(mktemp --suffix=.reg)
trap 'rm -f "$reg"' EXIT
wine_env_fonts_only_reg | iconv -f UTF-8 -t UTF-16 >"$reg"
wine regedit /S "$(winepath -w "$reg")"
wineserver -w
wine_env_marlett "$prefix"
echo "prepare-prefix: Japanese font substitutes and Wine's Marlett set in $prefix"
