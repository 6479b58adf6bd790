#!/usr/bin/env bash
# Builds the picture decoder's libFuzzer target with clang (ASan + UBSan) and fuzzes each format
# for SECONDS (default 600) from seeds and the committed corpus. Afterwards every crash, hang or
# memory blow-up, and every new input that reaches code the committed corpus does not, joins
# tests/image/corpus/FORMAT/, which the tests replay under the sanitizers.
# Usage: scripts/fuzz.sh [seconds] [format...]   formats: png jpeg gif bmp tga webp
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
shift || true
formats=("$@")
[ ${#formats[@]} -gt 0 ] || formats=(png jpeg gif bmp tga webp)
work=$top/build-fuzz
mkdir -p "$work"

# The format libraries are built from their Debian sources with the same instrumentation,
# so that coverage guides the fuzzer inside them and the sanitizers see their memory use.
san=(-O1 -g -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined)
src=$work/src
lib=$work/lib
fetch_sources() {
  mkdir -p "$src"
  (cd "$src" && apt-get source --download-only libspng giflib libwebp libjpeg-turbo >/dev/null 2>&1 &&
   for d in *.dsc; do dpkg-source -x "$d" >/dev/null; done)
}
build_libraries() {
  mkdir -p "$lib/gif" "$lib/spng"
  local gif=("$src"/giflib-*) spng=("$src"/libspng-*) jpeg=("$src"/libjpeg-turbo-*) webp=("$src"/libwebp-*)
  for f in dgif_lib gif_err gifalloc gif_hash openbsd-reallocarray; do
    clang "${san[@]}" -c "${gif[0]}/$f.c" -o "$lib/gif/$f.o"
  done
  ar rcs "$lib/libgif.a" "$lib"/gif/*.o
  clang "${san[@]}" -c "${spng[0]}/spng/spng.c" -o "$lib/spng/spng.o"
  ar rcs "$lib/libspng.a" "$lib/spng/spng.o"
  cmake -S "${jpeg[0]}" -B "$lib/jpeg" -DCMAKE_C_COMPILER=clang -DCMAKE_C_FLAGS="${san[*]}" \
    -DWITH_SIMD=0 -DENABLE_SHARED=0 >/dev/null
  cmake --build "$lib/jpeg" -j2 --target turbojpeg-static >/dev/null
  cmake -S "${webp[0]}" -B "$lib/webp" -DCMAKE_C_COMPILER=clang -DCMAKE_C_FLAGS="${san[*]}" \
    -DWEBP_BUILD_CWEBP=OFF -DWEBP_BUILD_DWEBP=OFF -DWEBP_BUILD_GIF2WEBP=OFF -DWEBP_BUILD_IMG2WEBP=OFF \
    -DWEBP_BUILD_VWEBP=OFF -DWEBP_BUILD_WEBPINFO=OFF -DWEBP_BUILD_WEBPMUX=OFF -DWEBP_BUILD_EXTRAS=OFF \
    -DWEBP_BUILD_ANIM_UTILS=OFF >/dev/null
  cmake --build "$lib/webp" -j2 --target webpdecoder >/dev/null
  includes=(-I"${gif[0]}" -I"${spng[0]}/spng" -I"${jpeg[0]}" -I"$lib/jpeg" -I"${webp[0]}/src")
  printf '%s\n' "${includes[@]}" >"$lib/includes"
}
ls "$src"/giflib-* >/dev/null 2>&1 || fetch_sources
[ -f "$lib/includes" ] || build_libraries
mapfile -t includes <"$lib/includes"
if [ ! -x "$work/image_fuzzer" ] || [ -n "$(find "$top/src/image" "$top/fuzz" -newer "$work/image_fuzzer" -name '*.[ch]*')" ]; then
  clang++ -std=c++17 "${san[@]}" -fsanitize=fuzzer "${includes[@]}" -I"$top/src/image" \
    "$top"/src/image/*.cpp "$top/fuzz/image_fuzzer.cpp" "$lib/libspng.a" "$lib/libgif.a" \
    "$lib/jpeg/libturbojpeg.a" "$lib/webp/libwebpdecoder.a" -lz -lpthread -o "$work/image_fuzzer"
fi
[ -d "$work/seeds" ] || "$top/fuzz/make_seeds.sh" "$work/seeds"

for fmt in "${formats[@]}"; do
  mkdir -p "$work/corpus/$fmt" "$work/findings/$fmt"
  committed=$top/tests/image/corpus/$fmt
  mkdir -p "$committed"
  echo "fuzz: $fmt for ${seconds}s"
  # A finding stops the run; the loop goes on with the next format.
  "$work/image_fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
    -print_final_stats=1 -artifact_prefix="$work/findings/$fmt/" \
    "$work/corpus/$fmt" "$work/seeds/$fmt" "$committed" >"$work/$fmt.log" 2>&1 || true
  grep -E "^stat::number_of_executed_units|^stat::peak_rss_mb|ERROR:|SUMMARY" "$work/$fmt.log" || true
  find "$work/findings/$fmt" -type f -exec cp -n {} "$committed/" \;
  "$work/image_fuzzer" -merge=1 -timeout=10 -max_len=65536 "$committed" "$work/corpus/$fmt" \
    >"$work/$fmt-merge.log" 2>&1 || true
  echo "fuzz: $fmt findings: $(ls "$work/findings/$fmt" | wc -l), kept: $(ls "$committed" | wc -l) files"
done
