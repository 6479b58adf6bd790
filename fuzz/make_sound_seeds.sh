#!/usr/bin/env bash
# Writes a few short sounds per format into DIR/wav/ and DIR/ogg/ (Python's wave, oggenc), as
# fuzzing seeds.
# Usage: fuzz/make_sound_seeds.sh DIR
set -euo pipefail
out=$1
mkdir -p "$out/wav" "$out/ogg"
python3 - "$out/wav" <<'PY'
import math, struct, sys, wave
for name, rate, width, channels in [("m8", 8000, 1, 1), ("s16", 22050, 2, 2), ("m16", 44100, 2, 1)]:
    with wave.open(f"{sys.argv[1]}/{name}.wav", "wb") as w:
        w.setnchannels(channels); w.setsampwidth(width); w.setframerate(rate)
        frames = []
        for i in range(rate // 50):
            v = math.sin(i / 5)
            frames += [int(127 * v + 128)] * channels if width == 1 else [int(8000 * v)] * channels
        w.writeframes(bytes(frames) if width == 1 else struct.pack(f"<{len(frames)}h", *frames))
PY
for f in "$out"/wav/*.wav; do
  oggenc -Q -q 0 -o "$out/ogg/$(basename "$f" .wav).ogg" "$f"
done
