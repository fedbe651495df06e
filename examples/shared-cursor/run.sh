#!/bin/sh
# Runs the shared-cursor example as two processes on this computer: one hosts, the other
# joins it on 127.0.0.1; each ends after a few seconds. Run from the top of the repository
# after `make build`. Without a screen both run headless and report what they received.
set -e
cd "$(dirname "$0")/../.."
[ -n "$DISPLAY" ] || export SDL_VIDEODRIVER=offscreen
build/bin/ksrun --end-after 12000 build/programs/shared_cursor.ksm &
host=$!
sleep 1
build/bin/ksrun --end-after 8000 build/programs/shared_cursor.ksm 127.0.0.1
wait $host
