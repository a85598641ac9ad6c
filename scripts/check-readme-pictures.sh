#!/usr/bin/env bash
# Checks a README's pictures: every picture it names (![..](path) or
# <img src="path">, paths relative to the README) exists, and every PNG of the
# window gallery beside it (docs/windows/) is named, so that a renamed window
# leaves neither a broken picture nor an orphan behind.
# Usage: bash scripts/check-readme-pictures.sh [README.md]   (exit 1 on a fault)
set -euo pipefail
readme=${1:-"$(dirname "$0")/../README.md"}
[ -f "$readme" ] || { echo "check-readme-pictures: $readme does not exist" >&2; exit 1; }
base=$(cd "$(dirname "$readme")" && pwd)

# Markdown images and HTML img tags; web addresses are not checked.
mapfile -t named < <(
  { grep -o '!\[[^]]*\]([^)[:space:]]*' "$readme" | sed 's/.*(//' || true
    grep -oi '<img[^>]*src="[^"]*"' "$readme" | sed 's/.*src="//I; s/"$//' || true
  } | grep -v '^[a-z]*://' | sort -u)

faults=0
for pic in "${named[@]}"; do
  [ -n "$pic" ] || continue
  if [ ! -f "$base/$pic" ]; then
    echo "check-readme-pictures: $readme names $pic, which does not exist" >&2
    faults=$((faults + 1))
  fi
done

if [ -d "$base/docs/windows" ]; then
  while IFS= read -r -d '' f; do
    rel=${f#"$base"/}
    if ! printf '%s\n' "${named[@]}" | grep -qxF "$rel"; then
      echo "check-readme-pictures: $rel is not named in $readme" >&2
      faults=$((faults + 1))
    fi
  done < <(find "$base/docs/windows" -name '*.png' -print0)
fi

if [ "$faults" -ne 0 ]; then
  exit 1
fi
echo "check-readme-pictures: ${#named[@]} pictures, all there"
