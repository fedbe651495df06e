#!/usr/bin/env bash
# Builds examples/first-program/greet.c into a module image by hand, with the commands
# README.md ("Your first program in C") shows, then runs it with the arguments given.
# Needs `make build` first; BUILD names another build folder.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${BUILD:-build}
gcc -m32 -c -fno-pic -fno-pie -O1 -fno-stack-protector -fno-asynchronous-unwind-tables \
    -ffreestanding -fno-builtin -I "$build/include" -o "$build/greet.o" examples/first-program/greet.c
"$build/bin/elf2module" "$build/greet.o" "$build/greet.ksm"
SDL_VIDEODRIVER=${SDL_VIDEODRIVER:-offscreen} "$build/bin/ksrun" "$build/greet.ksm" "$@"
