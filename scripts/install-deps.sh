#!/usr/bin/env bash
# Installs everything the two builds and the tests need on a Debian 12 machine.
# Safe to run again: it only installs what is missing.
set -euo pipefail

need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

pkgs=(cmake ninja-build g++ make googletest libgtest-dev
      g++-mingw-w64-i686-win32 mingw-w64-tools binutils-mingw-w64-i686
      wine wine32:i386 wine64 xvfb xauth x11-utils imagemagick fonts-vlgothic
      procps nasm dpkg-dev libjpeg62-turbo-dev libjpeg-turbo-progs nsis zip
      clang libclang-rt-14-dev llvm)
# clang, libclang-rt-14-dev (libFuzzer and the sanitizers' runtimes) and llvm
# (llvm-symbolizer, for readable sanitizer stacks): scripts/fuzz.sh.
for p in "${pkgs[@]}"; do have "$p" || need+=("$p"); done

if [ ${#need[@]} -eq 0 ]; then
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
