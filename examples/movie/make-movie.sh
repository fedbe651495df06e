#!/usr/bin/env bash
# Makes the movie example's clip: three seconds of ffmpeg's test pattern (320 x 240,
# 25 frames a second, H.264) with a 440 Hz tone as its sound track (AAC), in an MP4
# file. Usage: make-movie.sh OUTPUT
set -euo pipefail
out=${1:?usage: make-movie.sh OUTPUT}
mkdir -p "$(dirname "$out")"
ffmpeg -hide_banner -loglevel error -nostdin -y \
  -f lavfi -i "testsrc2=size=320x240:rate=25:duration=3" \
  -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=3" \
  -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac -shortest "$out"
