#!/usr/bin/env bash
# Runs a game under a private Xvfb for a few seconds and saves its window as a PNG.
# Usage: scripts/screenshot.sh [GAME_FOLDER] [OUTPUT.png] [SECONDS]
#   defaults: examples/layers, docs/screenshot.png (the README's picture), 4 seconds.
# GAMEHOST may name another gamehost binary; otherwise build/gamehost (built if missing).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
game=${1:-examples/layers}
out=${2:-$top/docs/screenshot.png}
seconds=${3:-4}
# A relative game folder is looked for here first, then in the repository's top folder.
case "$game" in /*) ;; *) if [ -d "$game" ]; then game="$PWD/$game"; else game="$top/$game"; fi ;; esac
case "$out" in /*) ;; *) out="$PWD/$out" ;; esac
if [ ! -f "$game/game.lua" ]; then
  echo "screenshot: no game.lua in $game" >&2
  exit 1
fi
host=${GAMEHOST:-$top/build/gamehost}
[ -x "$host" ] || "$top/scripts/build.sh" --log "$top/build/build.log" gamehost

# A copy keeps the game's folder free of anything the run might write.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$game/." "$work/"
mkdir -p "$(dirname "$out")"

# The window opens at the top-left corner of the screen (no window manager), so the
# first 800x600 pixels of the screen are the game. -strip leaves out time stamps.
xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp -noreset" bash -c '
  cd "$1"
  "$2" > "$1/output.txt" & pid=$!
  sleep "$3"
  import -window root -crop 800x600+0+0 -depth 8 -strip "png:$4"
  kill -TERM $pid; wait $pid' _ "$work" "$host" "$seconds" "$out"

if grep -E '^(LUA |Cannot load|ERROR)' "$work/output.txt" >&2; then
  echo "screenshot: the game reported the errors above" >&2
  exit 1
fi
echo "screenshot: $out"
