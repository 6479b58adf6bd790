#!/usr/bin/env bash
# Prints the decode time of a 2048x2048 PNG and JPEG (made once with ImageMagick); needs no display.
# Usage: bench/image/run.sh [build-dir] [rounds]
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$top/build}
bench=$build/bench/image-bench
[ -x "$bench" ] || { echo "run.sh: $bench not built (cmake --build $build --target image-bench)" >&2; exit 1; }
files=$build/bench/images
if [ ! -f "$files/big.jpg" ]; then
  mkdir -p "$files"
  convert -seed 7 -size 2048x2048 plasma:fractal -blur 0x2 -depth 8 "$files/big.png"
  convert "$files/big.png" -quality 90 "$files/big.jpg"
fi
"$bench" "${2:-10}" "$files/big.png" "$files/big.jpg"
