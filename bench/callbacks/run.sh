#!/usr/bin/env bash
# Prints ns per empty engine callback, per bare pcall and per imageMove call; needs no display.
# Usage: bench/callbacks/run.sh [build-dir] [calls per round] [rounds]
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$top/build}
bench=$build/bench/callbacks-bench
[ -x "$bench" ] || { echo "run.sh: $bench not built (cmake --build $build)" >&2; exit 1; }
"$bench" "${2:-200000}" "${3:-40}" | awk '
  $2 == "bare-pcall" { printf "callbacks bare lua_pcall (function on stack): %8.1f ns/call\n", $3 }
  $2 == "engine-callback" { printf "callbacks Sim_Wrapper::tick (empty onTick):  %8.1f ns/call  = %.2f x bare pcall\n", $3, $6 }
  $2 == "imageMove" { printf "callbacks imageMove(1, 1) from a Lua loop:   %8.1f ns/call  = %.2f x bare pcall\n", $3, $6 }
  $2 == "imageMove-local" { printf "callbacks   same, imageMove kept in a local: %8.1f ns/call  = %.2f x bare pcall\n", $3, $6 }
  $2 == "lua-to-lua-call" { printf "callbacks   for scale: empty Lua-to-Lua call %8.1f ns/call  = %.2f x bare pcall\n", $3, $6 }
  $2 == "empty-loop-iteration" { printf "callbacks   empty loop iteration (subtracted) %.2f ns\n", $3 }
  $1 == "ERROR" { print; exit 1 }'
