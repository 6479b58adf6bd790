#!/usr/bin/env bash
# Builds the host (only what it needs) and runs a game (default: examples/paddle) from its folder.
# Usage: scripts/play.sh [FOLDER]
# Consecutive identical output lines are shown once, followed by "(repeated N times)".
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
game=${1:-examples/paddle}
# A folder is taken from where the command runs, else from the repository.
if [ ! -d "$game" ] && [ -d "$top/$game" ]; then
  game="$top/$game"
fi
game=$(cd "$game" 2>/dev/null && pwd) || { echo "play: no folder $game" >&2; exit 1; }
if [ ! -f "$game/game.lua" ]; then
  echo "play: no game.lua in $game" >&2
  exit 1
fi
# gamehost-lua too (it is small), so that cmake --install finds every program it installs.
"$top/scripts/build.sh" --log "$top/build/build.log" gamehost gamehost-lua

# A script error in onDraw is reported once per frame: show it once, with its count.
# Ctrl+C stops the game, not this, so the last count is still written.
collapse() {
  trap '' INT
  local last= count=0 line
  while IFS= read -r line; do
    if [ $count -gt 0 ] && [ "$line" = "$last" ]; then
      count=$((count + 1))
      continue
    fi
    if [ $count -gt 1 ]; then echo "(repeated $count times)"; fi
    echo "$line"
    last=$line
    count=1
  done
  if [ $count -gt 1 ]; then echo "(repeated $count times)"; fi
}

cd "$game"
if [ -n "${DISPLAY:-}" ]; then
  "$top/build/gamehost" | collapse
  exit
fi
# No display here: run the game under Xvfb for a few seconds and keep a screenshot, taken
# when a bundled game shows the most (paddle's ball in mid-court, layers' day before its
# sunset at 9 s, particles' fountain in full flow).
case "$(basename "$game")" in
  layers) seconds=5 ;;
  *) seconds=3 ;;
esac
shot="$top/build/screenshot.png"
echo "play: no DISPLAY; running under Xvfb for $seconds seconds, screenshot in $shot"
xvfb-run -a -s "-screen 0 1024x768x24 -noreset" bash -c '
  "$1" & pid=$!
  sleep "$3"
  import -window root -crop 800x600+0+0 -depth 8 "$2" || true
  kill -TERM $pid; wait $pid' _ "$top/build/gamehost" "$shot" "$seconds" 2>&1 | collapse
