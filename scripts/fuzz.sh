#!/usr/bin/env bash
# Builds the picture and sound decoders' libFuzzer targets with clang (ASan + UBSan) and fuzzes
# each format for SECONDS (default 600) from seeds and the committed corpus. Afterwards every
# crash, hang or memory blow-up, and every new input that reaches code the committed corpus does
# not, joins tests/image/corpus/FORMAT/ (tests/sound/corpus/ for sounds), which the tests replay
# under the sanitizers.
# Usage: scripts/fuzz.sh [seconds] [format...]   formats: png jpeg gif bmp tga webp wav ogg
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
shift || true
formats=("$@")
[ ${#formats[@]} -gt 0 ] || formats=(png jpeg gif bmp tga webp wav ogg)
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
build_sound_libraries() {
  ls -d "$src"/libvorbis-*/ >/dev/null 2>&1 ||
    (cd "$src" && apt-get source --download-only libogg libvorbis >/dev/null 2>&1 &&
     for d in libogg*.dsc libvorbis*.dsc; do dpkg-source -x "$d" >/dev/null 2>&1; done)
  local ogg=("$src"/libogg-*/) vorbis=("$src"/libvorbis-*/) f
  mkdir -p "$lib/vorbis"
  # The generated ogg/config_types.h comes from the installed headers. libogg adds 0 to a null
  # buffer before its first allocation and shifts bytes into an int's sign bit, as it is written
  # to; both are harmless and would end every run.
  local flags=("${san[@]}" -fno-sanitize=pointer-overflow,shift)
  for f in "${ogg[0]}"src/framing.c "${ogg[0]}"src/bitwise.c; do
    clang "${flags[@]}" -I"${ogg[0]}include" -c "$f" -o "$lib/vorbis/ogg_$(basename "$f" .c).o"
  done
  for f in "${vorbis[0]}"lib/*.c; do
    case $(basename "$f") in vorbisenc.c|barkmel.c|tone.c|psytune.c) continue ;; esac
    clang "${flags[@]}" -I"${vorbis[0]}include" -I"${vorbis[0]}lib" -c "$f" -o "$lib/vorbis/$(basename "$f" .c).o"
  done
  ar rcs "$lib/libvorbisfile.a" "$lib"/vorbis/*.o
  echo "-I${vorbis[0]}include" >"$lib/sound-includes"
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
[ -f "$lib/sound-includes" ] || build_sound_libraries
if [ ! -x "$work/sound_fuzzer" ] || [ -n "$(find "$top/src/sound" "$top/fuzz" -newer "$work/sound_fuzzer" -name '*.[ch]*')" ]; then
  clang++ -std=c++17 "${san[@]}" -fsanitize=fuzzer $(cat "$lib/sound-includes") -I"$top/src/sound" \
    "$top"/src/sound/decode.cpp "$top"/src/sound/wav.cpp "$top"/src/sound/vorbis.cpp \
    "$top/fuzz/sound_fuzzer.cpp" "$lib/libvorbisfile.a" -lm -o "$work/sound_fuzzer"
fi
[ -d "$work/sound-seeds" ] || "$top/fuzz/make_sound_seeds.sh" "$work/sound-seeds"

# Leaks of the format libraries' own, each explained there.
export LSAN_OPTIONS=suppressions=$top/fuzz/lsan.supp
for fmt in "${formats[@]}"; do
  mkdir -p "$work/corpus/$fmt" "$work/findings/$fmt"
  case $fmt in
    wav|ogg) fuzzer=$work/sound_fuzzer seeds=$work/sound-seeds/$fmt committed=$top/tests/sound/corpus/$fmt ;;
    *) fuzzer=$work/image_fuzzer seeds=$work/seeds/$fmt committed=$top/tests/image/corpus/$fmt ;;
  esac
  mkdir -p "$committed"
  echo "fuzz: $fmt for ${seconds}s"
  # A finding stops the run; the loop goes on with the next format.
  "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
    -print_final_stats=1 -artifact_prefix="$work/findings/$fmt/" \
    "$work/corpus/$fmt" "$seeds" "$committed" >"$work/$fmt.log" 2>&1 || true
  grep -E "^stat::number_of_executed_units|^stat::peak_rss_mb|ERROR:|SUMMARY" "$work/$fmt.log" || true
  find "$work/findings/$fmt" -type f -exec cp -n {} "$committed/" \;
  "$fuzzer" -merge=1 -timeout=10 -max_len=65536 -artifact_prefix="$work/findings/$fmt/" "$committed" "$work/corpus/$fmt" \
    >"$work/$fmt-merge.log" 2>&1 || true
  echo "fuzz: $fmt findings: $(ls "$work/findings/$fmt" | wc -l), kept: $(ls "$committed" | wc -l) files"
done
