#!/usr/bin/env bash
# Compiles examples/first-program/greet.kb into a module image by hand, with the command
# README.md ("Your first program") shows, then runs it with the arguments given.
# Needs `make build` first; BUILD names another build folder.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${BUILD:-build}
"$build/bin/kbc" examples/first-program/greet.kb -o "$build/greet.ksm"
SDL_VIDEODRIVER=${SDL_VIDEODRIVER:-offscreen} "$build/bin/ksrun" "$build/greet.ksm" "$@"
