#!/usr/bin/env bash
# Compares assignments/s to existing keys, patched Lua against stock Lua 5.1.5.
# Usage: bench/interp/run.sh [build-dir] [assignments per round]
# The two binaries run alternately, five times each, and the best of all their
# rounds counts, so a busy moment on the machine does not decide the result.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$top/build}
n=${2:-10000000}
patched=$build/bench/settable-bench-patched
stock=$build/bench/settable-bench-stock
for b in "$patched" "$stock"; do
  [ -x "$b" ] || { echo "run.sh: $b not built (cmake --build $build)" >&2; exit 1; }
done

out=$(for i in 1 2 3 4 5; do "$patched" "$n"; "$stock" "$n"; done)
echo "$out" | awk '
  { k = $1 " " $2
    if ($3 > best[k]) best[k] = $3
    med[k] = med[k] sprintf(" %.1f", $4 / 1e6) }
  END {
    split("a b", cases, " ")
    name["a"] = "(a) metatable without the event"
    name["b"] = "(b) no metatable"
    worst = 0
    for (i = 1; i <= 2; i++) {
      c = cases[i]; p = best["patched " c]; s = best["stock " c]
      d = (p / s - 1) * 100
      printf "%-34s patched %7.2f M/s   stock %7.2f M/s   %+6.2f%%\n", name[c], p / 1e6, s / 1e6, d
      printf "%-34s medians, M/s: patched%s; stock%s\n", "", med["patched " c], med["stock " c]
      if (-d > worst) worst = -d
    }
    if (worst > 5) { printf "patched is %.2f%% slower: over the 5%% budget\n", worst; exit 1 }
    print "within the 5% budget"
  }'
