#!/usr/bin/env bash
# Runs the demo program through the host runner, printing first the command it runs,
# exactly as it could be typed from the top of the repository.
set -euo pipefail
build=${1:-build}
video=${SDL_VIDEODRIVER:-offscreen}
echo "\$ SDL_VIDEODRIVER=$video $build/bin/ksrun $build/programs/hello.ksm --level 3 '\"player one\"'"
SDL_VIDEODRIVER=$video "$build/bin/ksrun" "$build/programs/hello.ksm" --level 3 '"player one"'
