#!/usr/bin/env bash
# Installs what is missing, configures build/ once, then builds the given targets (default: all).
# Usage: scripts/build.sh [--log FILE] [TARGET...]
#   --log FILE: the build's output goes to FILE; only its progress is shown, in a few lines.
# Later builds configure again by themselves when a CMakeLists.txt (or Lua's tarball) changed.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$top/build
log=
if [ "${1:-}" = --log ]; then
  log=$2
  shift 2
fi
targets=()
for t in "$@"; do targets+=(--target "$t"); done

"$top/scripts/setup.sh"
configured() { [ -f "$build/Makefile" ] || [ -f "$build/build.ninja" ]; }

# Prints "build: N%" each time the build passes another fifth of its work.
progress() {
  local shown=-1 line pct
  while IFS= read -r line; do
    [[ $line =~ ^\[\ *([0-9]+)%\]\ (Building|Linking) ]] || continue
    pct=${BASH_REMATCH[1]}
    if [ $shown -lt 0 ]; then
      echo "build: compiling ${*:-everything}; full log in $log"
      shown=0
    fi
    if [ $((pct / 20)) -gt $((shown / 20)) ]; then
      echo "build: $pct%"
      shown=$pct
    fi
  done
}

if [ -z "$log" ]; then
  configured || cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  exec cmake --build "$build" -j "$(nproc)" "${targets[@]}"
fi

mkdir -p "$(dirname "$log")"
: >"$log"
status=0
if ! configured; then
  echo "build: configuring build/"
  cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >>"$log" 2>&1 || status=$?
fi
if [ $status = 0 ]; then
  cmake --build "$build" -j "$(nproc)" "${targets[@]}" 2>&1 | tee -a "$log" | progress "$@" || status=$?
fi
if [ $status != 0 ]; then
  grep -E -m 20 'error|Error' "$log" >&2 || tail -n 20 "$log" >&2
  echo "build: failed; the full log is $log" >&2
fi
exit $status
