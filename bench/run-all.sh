#!/usr/bin/env bash
# Runs every benchmark of the build, one after the other.
set -euo pipefail
build=${1:-build}
export SDL_VIDEODRIVER=${SDL_VIDEODRIVER:-offscreen}
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
if [ "$("$(dirname "$0")/../tools/i386-support.sh" status)" = emulated ]; then
  echo "EMULATED: every figure below comes from the qemu-user emulator (this kernel runs no 32-bit programs); none is comparable with native runs or goals."
fi
for bench in "$build"/bin/*_bench; do
  echo "== $(basename "$bench")"
  "$bench" --benchmark_min_time=0.2
done
