#!/usr/bin/env python3
"""Frames per second and the program's CPU use (share of one core, from /proc/PID/stat over 5 s)
of a game drawing one 32x32 picture, on each device backend, with frames paced to the display's
refresh and with GAMEHOST_PRESENT=immediate."""
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import frame_counter  # noqa: E402
from frame_counter import TOP, harness  # noqa: E402

GAME = """
local img = loadImage("sprite.png")
function onDraw()
  countFrame()
  img:draw()
end
"""
SECONDS = 5


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def measure(display, backend, immediate):
    env = {"GAMEHOST_DEVICE": backend, "GAMEHOST_PRESENT": "immediate" if immediate else ""}
    sprite = harness.solid_png(32, 32, (255, 128, 0, 255))
    game = harness.Game(frame_counter.COUNTER + GAME, files={"sprite.png": sprite}, display=display, env=env)
    try:
        game.wait_for(lambda lines: len(frame_counter.marks(lines)) >= 2, timeout=30)
        first = len(game.lines)
        start, cpu = time.time(), cpu_seconds(game.proc.pid)
        game.settle(SECONDS)
        used = (cpu_seconds(game.proc.pid) - cpu) / (time.time() - start)
        m = frame_counter.marks(game.lines[first - 1:])
    finally:
        game.stop()
    fps = (m[-1][1] - m[0][1]) / (m[-1][0] - m[0][0]) if len(m) >= 2 else 0.0
    return fps, used


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(TOP, "build")
    harness.GAMEHOST = os.path.abspath(os.path.join(build, "gamehost"))
    with harness.Display() as display:
        for backend in ("software", "opengl"):
            for immediate in (False, True):
                fps, used = measure(display, backend, immediate)
                mode = "immediate" if immediate else "paced"
                print(f"pacing {backend:9s} {mode:9s} {fps:8.1f} fps {100 * used:6.1f}% of a core", flush=True)


if __name__ == "__main__":
    main()
