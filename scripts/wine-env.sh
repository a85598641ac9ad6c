#!/usr/bin/env bash
# Wine helpers shared by run.sh, the end-to-end tests and the benchmark.
#
# Source it and call the functions:
#   wine_env_prefix <dir>      create (or reuse) a Wine prefix with the Japanese
#                              font substitutes; exports WINEPREFIX
#   wine_env_display <log>     start Xvfb on a free display unless DISPLAY is
#                              set; exports DISPLAY
#   wine_env_cleanup           stop the prefix's wineserver and our Xvfb
# or run it as a command (used by the e2e runner):
#   bash scripts/wine-env.sh prefix <dir>
#   bash scripts/wine-env.sh xvfb <log>     prints "<display> <pid>", leaves Xvfb running

# A UTF-8 locale so that Wine passes non-ASCII command-line arguments and
# console output through unchanged.
export LC_ALL=C.UTF-8
export WINEDEBUG=${WINEDEBUG:--all}
# The 32-bit prefix boots in about half the time of the WoW64 one and is
# all kivo_config.exe needs.
export WINEARCH=win32

WINE_ENV_XVFB_PID=""
WINE_ENV_SCREEN=${WINE_ENV_SCREEN:-1024x768x24}

wine_env_die() { echo "wine-env: $*" >&2; return 1; }

wine_env_check_tools() {
  local t
  for t in wine wineserver wineboot Xvfb; do
    command -v "$t" >/dev/null 2>&1 || { wine_env_die "'$t' is not installed (run scripts/install-deps.sh)"; return 1; }
  done
}

# Maps the Japanese UI fonts Windows programs ask for to IPA Gothic, whose
# glyphs have the widths of MS Gothic and MS PGothic, so that texts take the
# room they take on Windows (with other fonts long captions are cut off). The
# menus are drawn in Tahoma, which Wine links to "MS UI Gothic" for the
# characters it lacks: without these substitutes Japanese menu items show as
# boxes.
wine_env_fonts_only_reg() {
  cat <<'EOF'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]
"ＭＳ Ｐゴシック"="IPAPGothic"
"ＭＳ ゴシック"="IPAGothic"
"MS PGothic"="IPAPGothic"
"MS Gothic"="IPAGothic"
"MS UI Gothic"="IPAPGothic"
"MS Shell Dlg"="IPAPGothic"
"MS Shell Dlg 2"="IPAPGothic"

EOF
}

# The fonts, and the prefix's programs in a 1024x768 virtual desktop: Wine
# draws the window frames and captions itself (Xvfb has no window manager)
# and hides windows without waiting on one.
wine_env_fonts_reg() {
  wine_env_fonts_only_reg
  cat <<'EOF'
[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"Default"="1024x768"

EOF
}

# Wine draws the caption buttons with its Marlett font (fonts-wine), which
# Debian's Wine does not load from its own data folder: a copy in the
# prefix's Fonts folder, where every Wine finds it. Without it the buttons
# show as letters ("0 1 r").
wine_env_marlett() {
  local fonts=$1/drive_c/windows/Fonts src=/usr/share/wine/fonts/marlett.ttf
  [ -f "$src" ] || { wine_env_die "$src is missing (install fonts-wine: scripts/install-deps.sh)"; return 1; }
  [ -f "$fonts/marlett.ttf" ] && return 0
  mkdir -p "$fonts"
  cp "$src" "$fonts/marlett.ttf"
}

# wine_env_prefix <dir>: boots a new prefix in <dir> unless one is there.
wine_env_prefix() {
  local dir=$1
  [ -n "$dir" ] || { wine_env_die "wine_env_prefix needs a directory"; return 1; }
  wine_env_check_tools || return 1
  mkdir -p "$(dirname "$dir")"
  dir=$(cd "$(dirname "$dir")" && pwd)/$(basename "$dir")
  export WINEPREFIX=$dir
  if [ -f "$dir/.kivo-prefix-ready" ]; then
    wine_env_marlett "$dir"
    return 0
  fi
  rm -rf "$dir"
  echo "wine-env: creating Wine prefix $dir"
  local start=$SECONDS
  # No Mono/Gecko installers: nothing here needs .NET or the HTML engine.
  WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >"$dir.boot.log" 2>&1 \
    || { wine_env_die "wineboot failed, see $dir.boot.log"; return 1; }
  wineserver -w
  local reg="$dir/drive_c/kivo-fonts.reg"
  # regedit reads UTF-16 with a byte-order mark.
  wine_env_fonts_reg | iconv -f UTF-8 -t UTF-16 >"$reg"
  wine regedit /S 'C:\kivo-fonts.reg' >>"$dir.boot.log" 2>&1 \
    || { wine_env_die "importing the font substitutes failed, see $dir.boot.log"; return 1; }
  wineserver -w
  rm -f "$reg"
  grep -q 'IPAPGothic' "$dir/system.reg" \
    || { wine_env_die "font substitutes missing from $dir/system.reg"; return 1; }
  wine_env_marlett "$dir" || return 1
  touch "$dir/.kivo-prefix-ready"
  echo "wine-env: prefix ready in $((SECONDS - start)) s"
}

# wine_env_free_display: prints the first display number with no X server.
wine_env_free_display() {
  local n
  for n in $(seq 90 250); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
      echo "$n"
      return 0
    fi
  done
  return 1
}

# wine_env_start_xvfb <log>: starts Xvfb on a free display; sets DISPLAY and
# WINE_ENV_XVFB_PID.
wine_env_start_xvfb() {
  local log=$1 n i
  for _ in 1 2 3; do
    n=$(wine_env_free_display) || { wine_env_die "no free X display"; return 1; }
    mkdir -p "$(dirname "$log")"
    setsid Xvfb ":$n" -screen 0 "$WINE_ENV_SCREEN" -nolisten tcp -noreset >"$log" 2>&1 </dev/null &
    WINE_ENV_XVFB_PID=$!
    for i in $(seq 1 100); do
      if [ -e "/tmp/.X11-unix/X$n" ]; then
        export DISPLAY=":$n"
        return 0
      fi
      kill -0 "$WINE_ENV_XVFB_PID" 2>/dev/null || break
      sleep 0.05
    done
    kill "$WINE_ENV_XVFB_PID" 2>/dev/null
    wait "$WINE_ENV_XVFB_PID" 2>/dev/null
    WINE_ENV_XVFB_PID=""
  done
  wine_env_die "Xvfb did not start, see $log"
}

wine_env_display() {
  if [ -n "${DISPLAY:-}" ]; then
    return 0
  fi
  wine_env_start_xvfb "$1"
}

wine_env_cleanup() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
  fi
  if [ -n "$WINE_ENV_XVFB_PID" ]; then
    kill "$WINE_ENV_XVFB_PID" 2>/dev/null || true
    wait "$WINE_ENV_XVFB_PID" 2>/dev/null || true
    WINE_ENV_XVFB_PID=""
  fi
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -euo pipefail
  case "${1:-}" in
    prefix) wine_env_prefix "$2" ;;
    xvfb)
      wine_env_start_xvfb "$2"
      echo "$DISPLAY $WINE_ENV_XVFB_PID"
      ;;
    *) echo "usage: $0 prefix <dir> | xvfb <log>" >&2; exit 1 ;;
  esac
fi
