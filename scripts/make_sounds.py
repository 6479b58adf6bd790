#!/usr/bin/env python3
"""Makes every sound the bundled examples use, with the standard library only.

    scripts/make_sounds.py               # regenerate examples/*/*.wav in place
    scripts/make_sounds.py --into DIR    # write them into DIR instead

The output is the same bytes on every run, so the committed files can be checked against it.
"""
import argparse
import math
import os
import struct
import sys
import wave

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
RATE = 22050


def blip(freq, seconds, volume):
    """A tone that falls an octave while it fades out: a short, soft bounce."""
    samples, phase = [], 0.0
    for i in range(int(seconds * RATE)):
        t = i / (seconds * RATE)
        phase += 2 * math.pi * freq * (1 - 0.5 * t) / RATE
        samples.append(int(volume * 32767 * (1 - t) ** 2 * math.sin(phase)))
    return samples


# example -> sound name -> samples
SOUNDS = {
    "paddle": {"bounce": blip(880, 0.12, 0.6), "wall": blip(330, 0.08, 0.5)},
}


def main(argv):
    parser = argparse.ArgumentParser(description="Makes the examples' sounds.")
    parser.add_argument("--into", help="folder to write every example's sounds into")
    args = parser.parse_args(argv)
    for example, sounds in sorted(SOUNDS.items()):
        folder = args.into or os.path.join(TOP, "examples", example)
        os.makedirs(folder, exist_ok=True)
        for name, samples in sorted(sounds.items()):
            path = os.path.join(folder, name + ".wav")
            with wave.open(path, "wb") as w:
                w.setnchannels(1)
                w.setsampwidth(2)
                w.setframerate(RATE)
                w.writeframes(struct.pack(f"<{len(samples)}h", *samples))
            print(os.path.relpath(path))


if __name__ == "__main__":
    main(sys.argv[1:])
