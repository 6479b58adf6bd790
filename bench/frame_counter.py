"""Frames per second of the real program under a private Xvfb, counted by the script itself."""
import os
import sys

TOP = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
sys.path.insert(0, os.path.join(TOP, "tests", "e2e"))
import harness  # noqa: E402  (its private Xvfb, process reader and PNG writer serve benchmarks as well)

# countFrame(), called once per onDraw, prints the frame and step counts at each change of
# os.time(), so frames are divided by whole seconds of wall time. onTick steps cannot serve
# as the clock: the loop makes up at most one step per pass.
COUNTER = """
local frames, steps = 0, 0
local last = os.time()
function onTick() steps = steps + 1 end
function countFrame()
  frames = frames + 1
  local now = os.time()
  if now ~= last then
    last = now
    print("second " .. now .. " " .. frames .. " " .. steps)
  end
  return frames
end
"""


def marks(lines):
    """(time, frames, steps) of every 'second' line."""
    out = []
    for line in lines:
        parts = line.split()
        if len(parts) == 4 and parts[0] == "second":
            out.append(tuple(int(p) for p in parts[1:]))
    return out


def measure(display, script, seconds, files=None, env=None):
    """(best single second, mean frames/s, steps/s) of COUNTER + script over whole seconds."""
    # Throughput: every frame shown at once, not at the display's pace.
    game = harness.Game(COUNTER + script, files=files, display=display,
                        env={"GAMEHOST_PRESENT": "immediate", **(env or {})})
    try:
        game.wait_for(lambda lines: len(marks(lines)) >= seconds + 1, timeout=seconds + 30)
    finally:
        game.stop()
    m = marks(game.lines)
    span = m[-1][0] - m[0][0]
    best = max(b[1] - a[1] for a, b in zip(m, m[1:]))
    return best, (m[-1][1] - m[0][1]) / span, (m[-1][2] - m[0][2]) / span
