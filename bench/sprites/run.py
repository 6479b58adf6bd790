#!/usr/bin/env python3
"""Frames per second of the real program drawing N copies of one 32x32 PNG, under a private Xvfb."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import frame_counter  # noqa: E402
from frame_counter import TOP, harness  # noqa: E402

# N images of one file, each placed with setPosition and drawn every frame; the offset d
# moves them each frame so every image's matrix is rebuilt and uploaded, as in a game.
GAME = """
local N = %d
local images, xs, ys = {}, {}, {}
for i = 1, N do
  images[i] = loadImage("sprite.png")
  xs[i] = (i * 37) %% 760 - 380
  ys[i] = (i * 53) %% 560 - 280
end
function onDraw()
  local d = countFrame() %% 16
  for i = 1, N do
    local img = images[i]
    img:setPosition(xs[i] + d, ys[i])
    img:draw()
  end
end
"""

CASES = ((0, 3), (1000, 6), (10000, 8))  # (images, whole seconds measured)


def sprite():
    """A 32x32 disc, opaque orange inside, transparent outside, so blending has work to do."""
    rows = []
    for y in range(32):
        row = []
        for x in range(32):
            inside = (x - 15.5) ** 2 + (y - 15.5) ** 2 <= 15.5 ** 2
            row.append((255, 128, 0, 255) if inside else (0, 0, 0, 0))
        rows.append(row)
    return harness.png(32, 32, rows)


def frames_per_second(display, images, seconds):
    """Mean frames per second over whole seconds of wall time, and the best single second."""
    best, mean, _ = frame_counter.measure(display, GAME % images, seconds, files={"sprite.png": sprite()})
    return mean, best


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(TOP, "build")
    harness.GAMEHOST = os.path.join(build, "gamehost")
    results = {}
    with harness.Display() as display:
        for images, seconds in CASES:
            results[images] = frames_per_second(display, images, seconds)
    base = 1e6 / results[0][0]  # µs of a frame with nothing drawn: clear, present, the loop
    print(f"sprites N=0      {results[0][0]:8.1f} fps (best second {results[0][1]}), {base:8.1f} us/frame")
    for images, _ in CASES[1:]:
        mean, best = results[images]
        frame = 1e6 / mean
        print(f"sprites N={images:<6d} {mean:8.1f} fps (best second {best}), {frame:8.1f} us/frame, "
              f"{frame / images:6.2f} us/image draw ({(frame - base) / images:6.2f} beyond an empty frame)")


if __name__ == "__main__":
    main()
