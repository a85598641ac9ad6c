#!/usr/bin/env bash
# The README's window pictures: opens every window of kivo_config.exe under
# Wine on a private Xvfb (the e2e harness and driver, e2e/gallery.cpp), once
# on Windows 98 (the ANSI path, Japanese locale) and once on Windows XP, and
# four of them on Windows 10 at 150 % (144 DPI, a full-HD screen), and
# writes each window alone to docs/windows/:
#   <name>.png                    where the two looks are the same (but
#                                 for the caption's font: the XP picture)
#   <name>-98.png, <name>-xp.png  where they differ (or the window is
#                                 offered on one family only)
#   <name>-150.png                the main window, the detailed settings, the
#                                 runner and the capture settings at 150 %
# The files are optimised without metadata (optipng), so a run that changes
# nothing visible leaves the tree unchanged.
# Usage: bash scripts/screenshots.sh   (installs what is missing and builds first)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/build.sh
cmake --build build/native --target e2e_gallery >/dev/null

gallery=$root/build/native/e2e/e2e_gallery
work=$root/build/gallery
out=$root/docs/windows
rm -rf "$work"
mkdir -p "$work/98" "$work/xp" "$work/150" "$work/final" "$out"

# One look after the other: one Wine session at a time.
for look in 98 xp; do
  echo "screenshots: the $look look"
  if ! KIVO_GALLERY_DIR="$work/$look" KIVO_GALLERY_LOOK="$look" \
       "$gallery" --gtest_brief=1 >"$work/$look.log" 2>&1; then
    cat "$work/$look.log" >&2
    echo "screenshots: the $look look failed (log: $work/$look.log); docs/windows is unchanged" >&2
    exit 1
  fi
done
echo "screenshots: the 150 % look"
if ! KIVO_GALLERY_DIR="$work/150" KIVO_GALLERY_LOOK=150 KIVO_E2E_SCREEN=1920x1080x24 \
     "$gallery" --gtest_brief=1 --gtest_filter='Gallery.MainWindowAndItsSettings:Gallery.Timers:Gallery.Viewer' \
     >"$work/150.log" 2>&1; then
  cat "$work/150.log" >&2
  echo "screenshots: the 150 % look failed (log: $work/150.log); docs/windows is unchanged" >&2
  exit 1
fi
cp "$work"/150/*-150.png "$work/final/"

# The Japanese locale of the 98 run draws the captions in another font; two
# pictures that differ only there (the top rows: frame and caption) count as
# the same window and the XP one stands for both.
caption_rows=24
signature() { convert "$1" -crop "+0+$caption_rows" +repage -format '%#' info:; }

names=$(find "$work/98" "$work/xp" -name '*.png' -printf '%f\n' | sed -E 's/-(98|xp)\.png$//' | sort -u)
for name in $names; do
  a=$work/98/$name-98.png
  b=$work/xp/$name-xp.png
  if [ ! -f "$a" ] || [ ! -f "$b" ]; then
    # A window of one family only keeps its look in its name.
    cp "$a" "$work/final/" 2>/dev/null || cp "$b" "$work/final/"
  elif [ "$(signature "$a")" = "$(signature "$b")" ]; then
    cp "$b" "$work/final/$name.png"
  else
    cp "$a" "$work/final/$name-98.png"
    cp "$b" "$work/final/$name-xp.png"
  fi
done
optipng -quiet -o2 -strip all "$work"/final/*.png

# Only what changed is written; pictures of windows that are gone go too.
for f in "$out"/*.png; do
  [ -e "$f" ] || continue
  [ -f "$work/final/$(basename "$f")" ] || { echo "screenshots: removing $(basename "$f")"; rm -f "$f"; }
done
for f in "$work"/final/*.png; do
  dest=$out/$(basename "$f")
  if ! cmp -s "$f" "$dest"; then
    echo "screenshots: writing docs/windows/$(basename "$f")"
    cp "$f" "$dest"
  fi
done

total=$(du -cb "$out"/*.png | tail -1 | cut -f1)
echo "screenshots: $(ls "$out"/*.png | wc -l) pictures, $total bytes in docs/windows"
if [ "$total" -ge $((2 * 1024 * 1024)) ]; then
  echo "screenshots: the pictures pass 2 MB together" >&2
  exit 1
fi
