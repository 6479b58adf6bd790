#!/usr/bin/env bash
# Builds everything and runs every test; window tests start their own Xvfb.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/build.sh"
cd "$top/build"
ctest --output-on-failure -j "$(nproc)" "$@"
