#!/usr/bin/env python3
"""Frames per second of the real program drawing N copies of one 32x32 PNG, under a private Xvfb,
on each device backend, axis-aligned and turned+scaled; LÖVE 11 on the same scenes when installed."""
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import frame_counter  # noqa: E402
from frame_counter import TOP, harness  # noqa: E402

# N images of one file, each placed with setPosition and drawn every frame; the offset d
# moves them each frame so every image's matrix is rebuilt and uploaded, as in a game.
# The turned scene also gives each image its own rotation and a scale of 1.5 x 0.75.
GAME = """
local N, TURNED = %d, %s
local images, xs, ys = {}, {}, {}
for i = 1, N do
  images[i] = loadImage("sprite.png")
  xs[i] = (i * 37) %% 760 - 380
  ys[i] = (i * 53) %% 560 - 280
  if TURNED then images[i]:setScale(1.5, 0.75) end
end
function onDraw()
  local d = countFrame() %% 16
  for i = 1, N do
    local img = images[i]
    img:setPosition(xs[i] + d, ys[i])
    if TURNED then img:setRotation(i * 0.1 + d * 0.05) end
    img:draw()
  end
end
"""

# The same scenes for LÖVE 11: y grows downwards there, which changes nothing measured.
LOVE_CONF = "function love.conf(t) t.window.width = 800 t.window.height = 600 t.window.vsync = 0 end\n"
LOVE_MAIN = """
local N, TURNED = %d, %s
local img, xs, ys, frames, last
function love.load()
  img = love.graphics.newImage("sprite.png")
  xs, ys = {}, {}
  for i = 1, N do xs[i] = (i * 37) %% 760 + 20; ys[i] = (i * 53) %% 560 + 20 end
  frames, last = 0, os.time()
end
function love.draw()
  frames = frames + 1
  local now = os.time()
  if now ~= last then last = now; print("second " .. now .. " " .. frames .. " 0"); io.stdout:flush() end
  local d = frames %% 16
  for i = 1, N do
    if TURNED then
      love.graphics.draw(img, xs[i] + d, ys[i], i * 0.1 + d * 0.05, 1.5, 0.75, 16, 16)
    else
      love.graphics.draw(img, xs[i] + d, ys[i], 0, 1, 1, 16, 16)
    end
  end
end
"""

SECONDS = 5
SCENES = ((0, False), (1000, False), (10000, False), (1000, True), (10000, True))
BACKENDS = ("software", "opengl")


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


def gamehost_fps(display, backend, images, turned):
    game = GAME % (images, "true" if turned else "false")
    _, mean, _ = frame_counter.measure(display, game, SECONDS, files={"sprite.png": sprite()},
                                       env={"GAMEHOST_DEVICE": backend})
    return mean


def love_fps(display, images, turned):
    folder = tempfile.mkdtemp(prefix="love-bench-")
    try:
        with open(os.path.join(folder, "conf.lua"), "w") as f:
            f.write(LOVE_CONF)
        with open(os.path.join(folder, "main.lua"), "w") as f:
            f.write(LOVE_MAIN % (images, "true" if turned else "false"))
        with open(os.path.join(folder, "sprite.png"), "wb") as f:
            f.write(sprite())
        proc = subprocess.Popen(["love", folder], env=display.env(), stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL, text=True)
        lines, deadline = [], time.time() + SECONDS + 30
        while time.time() < deadline and len(frame_counter.marks(lines)) < SECONDS + 1:
            line = proc.stdout.readline()
            if not line:
                break
            lines.append(line)
        proc.kill()
        proc.wait(10)
        m = frame_counter.marks(lines)
        if len(m) < 2:
            return None
        return (m[-1][1] - m[0][1]) / (m[-1][0] - m[0][0])
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(TOP, "build")
    harness.GAMEHOST = os.path.abspath(os.path.join(build, "gamehost"))
    love = shutil.which("love")
    with harness.Display() as display:
        for images, turned in SCENES:
            scene = f"N={images:<6d} {'turned+scaled' if turned else 'axis-aligned':14s}"
            love_rate = love_fps(display, images, turned) if love and images else None
            for backend in BACKENDS:
                fps = gamehost_fps(display, backend, images, turned)
                line = f"sprites {scene} {backend:9s} {fps:8.1f} fps {1e3 / fps:7.2f} ms/frame"
                if love_rate:
                    line += f"   LÖVE {love_rate:7.1f} fps, ratio {fps / love_rate:5.2f}x"
                print(line, flush=True)
    if not love:
        print("(LÖVE 11 not installed: apt-get install love, to compare)")


if __name__ == "__main__":
    main()
