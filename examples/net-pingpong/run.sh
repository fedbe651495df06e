#!/usr/bin/env bash
# Plays the ping-pong example: a server and a player, two runs of ksrun on loopback.
# Run from the top of the repository after `make build`; the port is the first
# argument (40000 by default).
set -euo pipefail
port=${1:-40000}
build=${BUILD:-build}
export SDL_VIDEODRIVER=${SDL_VIDEODRIVER:-offscreen}
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
"$build/bin/ksrun" "$build/programs/pingpong.ksm" serve "$port" &
server=$!
"$build/bin/ksrun" "$build/programs/pingpong.ksm" join "$port"
wait "$server"
