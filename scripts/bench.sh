#!/usr/bin/env bash
# Builds everything, then runs every benchmark and prints its figures; window benchmarks start their own Xvfb.
# Usage: scripts/bench.sh   (the machine should be otherwise idle: figures are wall-clock times)
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$top/build
"$top/scripts/build.sh" || exit 1
# Throughput, not the display's pace: every frame is shown at once.
export GAMEHOST_PRESENT=immediate

# A failing benchmark is reported and the rest still run; the exit status tells at the end.
status=0
run() {
  echo "== $1"
  shift
  "$@" || { echo "!! failed: $*"; status=1; }
}
run "main loop (passes/s)" python3 "$top/bench/loop/run.py" "$build"
run "callbacks (ns/call)" "$top/bench/callbacks/run.sh" "$build"
run "sprites (frames/s)" python3 "$top/bench/sprites/run.py" "$build"
run "pacing (frames/s and CPU use, paced and immediate)" python3 "$top/bench/pacing/run.py" "$build"
run "picture decoding (ms per 2048x2048 file)" "$top/bench/image/run.sh" "$build"
run "CPU rasteriser (ns per blended pixel, one core)" "$build/bench/raster-bench"
if [ -x "$top/bench/interp/run.sh" ]; then
  run "interpreter field updates" "$top/bench/interp/run.sh" "$build"
fi
exit $status
