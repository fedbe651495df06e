#!/usr/bin/env bash
# Runs every benchmark of the build, one after the other.
set -euo pipefail
build=${1:-build}
export SDL_VIDEODRIVER=${SDL_VIDEODRIVER:-offscreen}
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
for bench in "$build"/bin/*_bench; do
  echo "== $(basename "$bench")"
  "$bench" --benchmark_min_time=0.2
done
