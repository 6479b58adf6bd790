#!/usr/bin/env python3
"""Main-loop passes per second under a private Xvfb: the C++ loop bench, then the real program."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import frame_counter  # noqa: E402
from frame_counter import TOP, harness  # noqa: E402


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
        harness.GAMEHOST = os.path.join(build, "gamehost")
        peak, mean, steps = frame_counter.measure(display, "function onDraw() countFrame() end", whole)
        print(f"loop (a) gamehost, onDraw counting only:  {peak:10.0f} passes/s best second "
              f"({1e6 / peak:8.2f} us/pass), {mean:.0f}/s over {whole} s, {steps:.1f} steps/s")


if __name__ == "__main__":
    main()
