#!/usr/bin/env python3
"""Main-loop passes per second under a private Xvfb: the C++ loop bench, then the real program."""
import os
import subprocess
import sys

TOP = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(TOP, "tests", "e2e"))
import harness  # noqa: E402  (its private Xvfb and process reader serve benchmarks as well)

# onDraw counts frames; at each change of os.time() (whole seconds of wall time) it prints
# the count, so the driver divides frames by exact seconds. onTick counts steps alongside.
GAME = """
local frames, steps = 0, 0
local last = os.time()
function onTick() steps = steps + 1 end
function onDraw()
  frames = frames + 1
  local now = os.time()
  if now ~= last then
    last = now
    print("second " .. now .. " " .. frames .. " " .. steps)
  end
end
"""


def seconds_lines(lines):
    """(time, frames, steps) of every 'second' line."""
    out = []
    for line in lines:
        parts = line.split()
        if len(parts) == 4 and parts[0] == "second":
            out.append(tuple(int(p) for p in parts[1:]))
    return out


def real_program(display, gamehost, seconds):
    """Frames per second of gamehost running GAME, between the first and last whole second."""
    harness.GAMEHOST = gamehost
    game = harness.Game(GAME, display=display)
    try:
        game.wait_for(lambda lines: len(seconds_lines(lines)) >= seconds + 1, timeout=seconds + 20)
    finally:
        game.stop()
    marks = seconds_lines(game.lines)
    # Seconds are taken one by one and the best counts, as a busy moment can spoil one.
    rates = [b[1] - a[1] for a, b in zip(marks, marks[1:])]
    total = (marks[-1][1] - marks[0][1]) / (marks[-1][0] - marks[0][0])
    steps = (marks[-1][2] - marks[0][2]) / (marks[-1][0] - marks[0][0])
    return max(rates), total, steps


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(TOP, "build")
    seconds = float(os.environ.get("LOOP_SECONDS", "2"))
    repeats = int(os.environ.get("LOOP_REPEATS", "3"))
    with harness.Display() as display:
        out = display.run(os.path.join(build, "bench", "loop-bench"), str(seconds), str(repeats),
                          text=True).stdout
        best = {}
        for line in out.splitlines():
            parts = line.split()
            if parts[:2] == ["loop", "best"]:
                best[parts[2]] = float(parts[3])
        print(f"loop (b) Engine, no output handler:       {best['no-output']:10.0f} passes/s "
              f"({1e6 / best['no-output']:8.2f} us/pass)")
        print(f"loop (b) Engine, output drawing nothing:  {best['noop-output']:10.0f} passes/s "
              f"({1e6 / best['noop-output']:8.2f} us/pass)")
        whole = max(3, int(round(seconds * repeats)))
        peak, mean, steps = real_program(display, os.path.join(build, "gamehost"), whole)
        print(f"loop (a) gamehost, onDraw counting only:  {peak:10.0f} passes/s best second "
              f"({1e6 / peak:8.2f} us/pass), {mean:.0f}/s over {whole} s, {steps:.1f} steps/s")


if __name__ == "__main__":
    main()
