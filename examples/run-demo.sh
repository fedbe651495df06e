#!/usr/bin/env bash
# Runs the demo program through the host runner.
set -euo pipefail
build=${1:-build}
export SDL_VIDEODRIVER=${SDL_VIDEODRIVER:-offscreen}
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
echo "\$ ksrun programs/hello.ksm --level 3 \"player one\""
"$build/bin/ksrun" "$build/programs/hello.ksm" --level 3 '"player one"'
