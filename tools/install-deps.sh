#!/usr/bin/env bash
# Installs every system package the runtime, its tools, tests and benchmarks need on
# Debian 12 amd64 (i386 multiarch). Idempotent: returns at once when all are present.
set -euo pipefail

packages=(
  cmake make pkg-config g++-multilib
  libsdl2-dev:i386
  libfreeimage-dev:i386
  libfreetype-dev:i386 libfontconfig-dev:i386 fonts-liberation fonts-dejavu-core
  libavformat-dev:i386 libavcodec-dev:i386 libswscale-dev:i386 libswresample-dev:i386
  libopenmpt-dev:i386
  libfluidsynth-dev:i386 timgm6mb-soundfont
  libenet-dev:i386
  libcdio-dev:i386 libcdio-paranoia-dev:i386
  libgtest-dev:i386 libbenchmark-dev:i386
  xvfb x11-utils
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
