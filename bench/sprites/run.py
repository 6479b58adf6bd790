#!/usr/bin/env python3
"""Frames per second of the real program drawing N copies of one 32x32 PNG, under a private Xvfb,
on each device backend, axis-aligned and turned+scaled: a disc (opaque inside, clear outside) and a
picture of 80% alpha everywhere, moved by sub-pixel steps (blended). LÖVE 11 and SDL2's renderer
(bench/sdl2, software and opengl) draw the same scenes when installed; each figure is printed with
its ratio to the best of them. Each program runs ROUNDS times in turn, scene by scene, and its median is
printed: a shared machine's speed drifts from minute to minute, and this way every program meets the same
drift."""
import os
import shutil
import statistics
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

# Every texel blends: each image moves by its own sub-pixel velocity, bouncing at the edges.
GAME_BLENDED = """
local N, TURNED = %d, %s
math.randomseed(1)
local images, xs, ys, vx, vy = {}, {}, {}, {}, {}
for i = 1, N do
  images[i] = loadImage("sprite.png")
  xs[i] = (i * 37) %% 760 - 380
  ys[i] = (i * 53) %% 560 - 280
  vx[i], vy[i] = (math.random() - 0.5) * 1.4, (math.random() - 0.5) * 1.4
  if TURNED then images[i]:setScale(1.5, 0.75) end
end
function onDraw()
  local d = countFrame() %% 16
  for i = 1, N do
    local img, x, y = images[i], xs[i] + vx[i], ys[i] + vy[i]
    if x < -380 or x > 380 then vx[i] = -vx[i] end
    if y < -280 or y > 280 then vy[i] = -vy[i] end
    xs[i], ys[i] = x, y
    img:setPosition(x, y)
    if TURNED then img:setRotation(i * 0.1 + d * 0.05) end
    img:draw()
  end
end
"""

# The same scenes for LÖVE 11: y grows downwards there, which changes nothing measured.
LOVE_CONF = "function love.conf(t) t.window.width = 800 t.window.height = 600 t.window.vsync = 0 end\n"
# Prints "second T FRAMES 0" once a second, as the host's frame counter does.
LOVE_COUNTER = """
local frames, last = 0, os.time()
local function countFrame()
  frames = frames + 1
  local now = os.time()
  if now ~= last then last = now; print("second " .. now .. " " .. frames .. " 0"); io.stdout:flush() end
  return frames
end
"""
LOVE_MAIN = LOVE_COUNTER + """
local N, TURNED = %d, %s
local img, xs, ys
function love.load()
  img = love.graphics.newImage("sprite.png")
  xs, ys = {}, {}
  for i = 1, N do xs[i] = (i * 37) %% 760 + 20; ys[i] = (i * 53) %% 560 + 20 end
end
function love.draw()
  local d = countFrame() %% 16
  for i = 1, N do
    if TURNED then
      love.graphics.draw(img, xs[i] + d, ys[i], i * 0.1 + d * 0.05, 1.5, 0.75, 16, 16)
    else
      love.graphics.draw(img, xs[i] + d, ys[i], 0, 1, 1, 16, 16)
    end
  end
end
"""

LOVE_BLENDED = LOVE_COUNTER + """
local N, TURNED = %d, %s
local img, xs, ys, vx, vy
function love.load()
  img = love.graphics.newImage("sprite.png")
  love.math.setRandomSeed(1)
  xs, ys, vx, vy = {}, {}, {}, {}
  for i = 1, N do
    xs[i] = (i * 37) %% 760 + 20; ys[i] = (i * 53) %% 560 + 20
    vx[i], vy[i] = (love.math.random() - 0.5) * 1.4, (love.math.random() - 0.5) * 1.4
  end
end
function love.draw()
  local d = countFrame() %% 16
  for i = 1, N do
    local x, y = xs[i] + vx[i], ys[i] + vy[i]
    if x < 20 or x > 780 then vx[i] = -vx[i] end
    if y < 20 or y > 580 then vy[i] = -vy[i] end
    xs[i], ys[i] = x, y
    if TURNED then
      love.graphics.draw(img, x, y, i * 0.1 + d * 0.05, 1.5, 0.75, 16, 16)
    else
      love.graphics.draw(img, x, y, 0, 1, 1, 16, 16)
    end
  end
end
"""

SECONDS = 5
ROUNDS = 3
# (images, turned, blended)
SCENES = ((0, False, False), (1000, False, False), (10000, False, False), (1000, True, False), (10000, True, False),
          (1000, False, True), (10000, False, True), (1000, True, True), (10000, True, True))
BACKENDS = ("software", "opengl")


def sprite(blended):
    """32x32: a disc, opaque orange inside and transparent outside, or orange at 80% alpha everywhere."""
    rows = []
    for y in range(32):
        row = []
        for x in range(32):
            inside = (x - 15.5) ** 2 + (y - 15.5) ** 2 <= 15.5 ** 2
            row.append((255, 128, 0, 204) if blended else (255, 128, 0, 255) if inside else (0, 0, 0, 0))
        rows.append(row)
    return harness.png(32, 32, rows)


def gamehost_fps(display, backend, images, turned, blended):
    game = (GAME_BLENDED if blended else GAME) % (images, "true" if turned else "false")
    _, mean, _ = frame_counter.measure(display, game, SECONDS, files={"sprite.png": sprite(blended)},
                                       env={"GAMEHOST_DEVICE": backend})
    return mean


def peer_fps(command, env, folder=None):
    """Mean frames/s of a peer that prints "second T FRAMES 0" lines, over SECONDS."""
    proc = subprocess.Popen(command, env=env, cwd=folder, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                            text=True)
    lines, deadline = [], time.time() + SECONDS + 30
    while time.time() < deadline and len(frame_counter.marks(lines)) < SECONDS + 1:
        line = proc.stdout.readline()
        if not line:
            break
        lines.append(line)
    proc.kill()
    proc.wait(10)
    m = frame_counter.marks(lines)
    return (m[-1][1] - m[0][1]) / (m[-1][0] - m[0][0]) if len(m) >= 2 else None


def sdl2_fps(display, program, driver, images, turned, blended):
    env = dict(display.env(), SDL_RENDER_DRIVER=driver, SDL_VIDEODRIVER="x11")
    return peer_fps([program, str(images), str(int(turned)), str(int(blended))], env)


def love_fps(display, images, turned, blended):
    folder = tempfile.mkdtemp(prefix="love-bench-")
    try:
        with open(os.path.join(folder, "conf.lua"), "w") as f:
            f.write(LOVE_CONF)
        with open(os.path.join(folder, "main.lua"), "w") as f:
            f.write((LOVE_BLENDED if blended else LOVE_MAIN) % (images, "true" if turned else "false"))
        with open(os.path.join(folder, "sprite.png"), "wb") as f:
            f.write(sprite(blended))
        return peer_fps(["love", folder], display.env())
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(TOP, "build")
    harness.GAMEHOST = os.path.abspath(os.path.join(build, "gamehost"))
    love = shutil.which("love")
    sdl2 = os.path.join(build, "bench", "sdl2-sprites")
    sdl2 = sdl2 if os.access(sdl2, os.X_OK) else None
    with harness.Display() as display:
        for images, turned, blended in SCENES:
            scene = (f"N={images:<6d} {'turned+scaled' if turned else 'axis-aligned':14s} "
                     f"{'blended' if blended else 'disc':7s}")
            runs = {}
            for _ in range(ROUNDS):
                if images and love:
                    runs.setdefault("LÖVE", []).append(love_fps(display, images, turned, blended))
                for driver in ("software", "opengl") if images and sdl2 else ():
                    runs.setdefault(f"SDL2 {driver}", []).append(
                        sdl2_fps(display, sdl2, driver, images, turned, blended))
                for backend in BACKENDS:
                    runs.setdefault(backend, []).append(gamehost_fps(display, backend, images, turned, blended))
            fps_of = {name: statistics.median(v) for name, v in runs.items() if all(v)}
            peers = {name: fps for name, fps in fps_of.items() if name not in BACKENDS}
            for name, fps in peers.items():
                print(f"sprites {scene} {name:13s} {fps:8.1f} fps", flush=True)
            best = max(peers.items(), key=lambda p: p[1]) if peers else None
            for backend in BACKENDS:
                fps = fps_of[backend]
                line = f"sprites {scene} {backend:13s} {fps:8.1f} fps {1e3 / fps:7.2f} ms/frame"
                for name, rate in peers.items():
                    line += f"   {fps / rate:5.2f}x {name}"
                if best:
                    line += f"   (best peer: {best[0]})"
                print(line, flush=True)
    if not love:
        print("(LÖVE 11 not installed: apt-get install love, to compare)")
    if not sdl2:
        print("(SDL2's renderer not built: apt-get install libsdl2-dev, then rebuild, to compare)")


if __name__ == "__main__":
    main()
