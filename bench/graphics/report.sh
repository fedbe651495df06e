#!/usr/bin/env bash
# Runs the graphics benchmarks and prints the table of pixels per second and ratios to the
# baseline measured in the same run. With --write, also refreshes docs/performance-graphics.md.
# Usage: bench/graphics/report.sh [build-dir] [--write]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
build=${1:-$top/build}
write=0
for arg in "$@"; do
  [ "$arg" = "--write" ] && write=1
done
[ "${1:-}" = "--write" ] && build=$top/build
bench=$build/bin/graphics_bench
if [ "$("$top/tools/i386-support.sh" status)" = emulated ]; then
  echo "EMULATED: these figures come from the qemu-user emulator (this kernel runs no 32-bit programs) and are not comparable with native runs."
  if [ "$write" = 1 ]; then
    echo "Not writing docs/performance-graphics.md: its figures come from native runs only." >&2
    exit 1
  fi
fi
if [ ! -x "$bench" ]; then
  cmake --build "$build" -j2 --target graphics_bench >/dev/null
fi
out=$(SDL_VIDEODRIVER=offscreen "$bench" --benchmark_min_time=0.3 2>/dev/null)
table=$(printf '%s\n' "$out" | sed -n '/^| case /,$p')
printf '%s\n' "$table"
if [ "$write" = 1 ]; then
  cpu=$(grep -m1 'model name' /proc/cpuinfo | sed 's/.*: //')
  {
    echo "# Graphics performance"
    echo
    echo "Canvas blits, fills, lines and ovals against SDL2's software blitter (SDL $(pkg-config --modversion sdl2 2>/dev/null || echo 2)) on the"
    echo "same pixel memory in the same run, and the full-frame copy against \`memcpy\` of the same"
    echo "bytes. Frame 640 x 480; 16 bits is 5-6-5, 32 bits is X8R8G8B8. Sprites are filled discs on"
    echo "the mask colour, blitted at (17, 9). Ratio = ours / baseline; higher is better."
    echo
    echo "Baselines: \`SDL_BlitSurface\` (with \`SDL_SetColorKey\` for masked), \`SDL_FillRect\`,"
    echo "\`SDL_RenderDrawLine\` on a software renderer over the surface (flushed per line), and for"
    echo "ovals the same row spans filled with \`SDL_FillRect\`."
    echo
    echo "Measured $(date -u +%Y-%m-%d) on: $cpu (i386 build, -O2 -msse2)."
    echo "Regenerate with \`bench/graphics/report.sh <build-dir> --write\`."
    echo
    printf '%s\n' "$table"
  } > "$top/docs/performance-graphics.md"
fi
