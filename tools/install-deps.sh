#!/usr/bin/env bash
# Installs every system package the runtime, its tools, tests and benchmarks need on
# Debian 12 amd64 (i386 multiarch), then makes sure 32-bit programs can run: natively,
# or under the qemu-user emulator where the kernel refuses them. Idempotent: returns
# at once when everything is in place.
set -euo pipefail
. "$(dirname "$0")/i386-support.sh"

packages=(
  cmake make pkg-config g++-multilib
  libsdl2-dev:i386
  libfreeimage-dev:i386
  libfreetype-dev:i386 libfontconfig-dev:i386 fonts-liberation fonts-dejavu-core
  libavformat-dev:i386 libavcodec-dev:i386 libswscale-dev:i386 libswresample-dev:i386
  libopenmpt-dev:i386
  # FluidSynth's headers want a JACK development package: the jackd2 one, which sits
  # beside the JACK library that the ffmpeg command needs (the other one would remove it).
  libfluidsynth-dev:i386 libjack-jackd2-dev:i386 timgm6mb-soundfont
  libenet-dev:i386
  libcdio-dev:i386 libcdio-paranoia-dev:i386
  libgtest-dev:i386 libbenchmark-dev:i386
  sox libsox-fmt-base libsox-fmt-mp3 ffmpeg
  socat netcat-openbsd binutils-mingw-w64-i686
  xvfb x11-utils x11-apps xdotool
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q
  $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

emulation_note="Note: this kernel does not run 32-bit programs (no IA-32 emulation), so the project's i386 programs run under the qemu-user emulator, registered for i386 ELF files through binfmt_misc."
case $(i386_probe) in
  native) ;;
  emulated) echo "$emulation_note" ;;
  needs-emulation)
    echo "$emulation_note"
    i386_enable_emulation "$sudo"
    verdict=$(i386_probe)
    if [ "$verdict" != emulated ]; then
      echo "The i386 emulator was set up, but a 32-bit test program still does not run ($verdict)." >&2
      exit 1
    fi
    ;;
  *)
    echo "A 32-bit test program (gcc -m32) cannot be built or run on this machine; see the messages above." >&2
    exit 1
    ;;
esac
