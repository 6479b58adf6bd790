#!/usr/bin/env bash
# Builds the host and runs a bundled game (default: examples/paddle) from its folder.
# Usage: scripts/play.sh [examples/NAME]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
game=${1:-examples/paddle}
# A folder is taken from where the command runs, else from the repository.
if [ ! -d "$game" ] && [ -d "$top/$game" ]; then
  game="$top/$game"
fi
game=$(cd "$game" 2>/dev/null && pwd) || { echo "play: no folder $game" >&2; exit 1; }
"$top/scripts/build.sh"
if [ ! -f "$game/game.lua" ]; then
  echo "play: no game.lua in $game" >&2
  exit 1
fi
cd "$game"
if [ -n "${DISPLAY:-}" ]; then
  exec "$top/build/gamehost"
fi
# No display here: run the game under Xvfb for a few seconds and keep a screenshot.
shot="$top/build/screenshot.png"
echo "play: no DISPLAY; running under Xvfb for 10 seconds, screenshot in $shot"
xvfb-run -a -s "-screen 0 1024x768x24 -noreset" bash -c '
  "$1" & pid=$!
  sleep 10
  import -window root -crop 800x600+0+0 -depth 8 "$2" || true
  kill -TERM $pid; wait $pid' _ "$top/build/gamehost" "$shot"
