#!/usr/bin/env bash
# Installs everything the two builds and the tests need on a Debian 12 machine.
# Safe to run again: it only installs what is missing.
set -euo pipefail

need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# The two-monitor tests run Xorg with the dummy video driver (two screens side
# by side, joined by Xinerama); 32-bit Wine reads Xinerama's monitors through
# the i386 libXinerama, without which it sees one screen.
pkgs=(cmake ninja-build g++ make googletest libgtest-dev
      g++-mingw-w64-i686-win32 mingw-w64-tools binutils-mingw-w64-i686
      wine wine32:i386 wine64 fonts-wine xvfb xauth x11-utils imagemagick fonts-ipafont-gothic
      procps locales nasm dpkg-dev libjpeg62-turbo-dev libjpeg-turbo-progs
      zlib1g-dev libpng-dev libgif-dev nsis zip xdotool optipng
      xserver-xorg-core xserver-xorg-video-dummy libxinerama1:i386
      clang libclang-rt-14-dev llvm)
# fonts-wine: Wine's own fonts, Marlett among them, with which Wine draws the
# caption buttons (without it they show as letters).
# clang, libclang-rt-14-dev (libFuzzer and the sanitizers' runtimes) and llvm
# (llvm-symbolizer, for readable sanitizer stacks): scripts/fuzz.sh.
for p in "${pkgs[@]}"; do have "$p" || need+=("$p"); done

# The Japanese locale: under it Wine's ANSI code page is 932, as on a Japanese
# Windows (the end-to-end tests of the ANSI path run under it).
japanese_locale() {
  locale -a 2>/dev/null | grep -qix 'ja_JP.utf8' && return 0
  echo "install-deps: generating the ja_JP.UTF-8 locale"
  local SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  $SUDO localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
}

if [ ${#need[@]} -eq 0 ]; then
  japanese_locale
  echo "install-deps: everything is installed"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "install-deps: installing ${need[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "install-deps: adding the i386 architecture (Wine's 32-bit side)"
  $SUDO dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${need[@]}"
japanese_locale
