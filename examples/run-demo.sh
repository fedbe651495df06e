#!/usr/bin/env bash
# Runs the demo program through the host runner, printing first the command it runs,
# exactly as it could be typed from the top of the repository. With a screen (DISPLAY
# set) the window shows for a few seconds; without one the offscreen driver draws it and
# the picture it showed last is written to a PNG file.
set -euo pipefail
build=$(realpath --relative-to="$(dirname "$0")/.." "${1:-build}")
# The demo loads its sprites by paths from the top of the repository.
cd "$(dirname "$0")/.."

if [[ -z "${SDL_VIDEODRIVER:-}" && -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
  echo "\$ $build/bin/ksrun $build/programs/demo.ksm"
  "$build/bin/ksrun" "$build/programs/demo.ksm"
else
  video=${SDL_VIDEODRIVER:-offscreen}
  shot=$build/demo.png
  echo "\$ SDL_VIDEODRIVER=$video $build/bin/ksrun --screenshot $shot $build/programs/demo.ksm"
  SDL_VIDEODRIVER=$video "$build/bin/ksrun" --screenshot "$shot" "$build/programs/demo.ksm"
  echo "No screen here: the demo's last picture is in $shot"
fi
