#!/usr/bin/env bash
# Writes a few small pictures per format into DIR/<format>/ with ImageMagick, as fuzzing seeds.
# Usage: fuzz/make_seeds.sh DIR
set -euo pipefail
out=$1
src=$(mktemp -d)
trap 'rm -rf "$src"' EXIT
convert -size 16x8 gradient:red-blue "$src/grad.png"
convert -size 8x8 pattern:checkerboard -fill red -draw 'point 1,1' "$src/check.png"
convert -size 12x6 xc:'rgba(0,128,255,0.5)' -fill white -draw 'point 2,2' "$src/alpha.png"
mk() {  # format [coder:]name source options...
  local fmt=$1 name=$2 from=$3 coder=""; shift 3
  case $name in *:*) coder=${name%%:*}:; name=${name#*:} ;; esac
  mkdir -p "$out/$fmt"
  convert "$src/$from" "$@" "$coder$out/$fmt/$name"
}
mk png rgba.png alpha.png
mk png png8:pal.png check.png
mk png grey16.png grad.png -colorspace Gray -depth 16
mk png adam7.png grad.png -interlace PNG
mk jpeg base.jpg grad.png -quality 80
mk jpeg prog.jpg grad.png -interlace JPEG
mk jpeg grey.jpg grad.png -colorspace Gray
mk jpeg cmyk.jpg grad.png -colorspace CMYK
mk gif plain.gif grad.png
mk gif trans.gif alpha.png
mk gif inter.gif check.png -interlace GIF
mk bmp bmp3:b24.bmp grad.png -type TrueColor
mk bmp bmp3:b8rle.bmp check.png -type Palette -compress RLE
mk bmp bmp3:b1.bmp check.png -type Bilevel
mk bmp b32.bmp alpha.png
mk tga plain.tga alpha.png
mk tga rle.tga grad.png -compress RLE
mk tga mapped.tga check.png -type Palette
mk webp lossy.webp grad.png
mk webp lossless.webp alpha.png -define webp:lossless=true
mk bmp bmp3:b4.bmp check.png -type Palette -colors 16
mk bmp b16.bmp grad.png -define bmp:subtype=RGB565
mk gif local.gif check.png -interlace GIF +map
