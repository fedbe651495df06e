#!/usr/bin/env bash
# Can this machine run the project's 32-bit (i386) programs, and how? Sourced by the
# install script; also a command: `tools/i386-support.sh status` prints one word
# (native, emulated, needs-emulation or cannot-run) and exits 0 only for native.
#
# A 64-bit kernel built without IA-32 emulation refuses i386 programs with "Exec format
# error". There they run under Debian's qemu-user emulator, registered for i386 ELF files
# through the kernel's binfmt_misc; nothing here is touched on a kernel that runs them.

i386_binfmt_dir=/proc/sys/fs/binfmt_misc
i386_binfmt_name=qemu-i386
i386_emulator=/usr/bin/qemu-i386-static
# The i386 ELF header (class 32, little-endian, executable or shared object, machine 3).
i386_binfmt_magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
i386_binfmt_mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

# The verdict on one run of the probe, which prints the machine name that uname(2) gives
# it. Natively that is the kernel's own (x86_64 for a 32-bit process on a 64-bit kernel);
# qemu-user answers with the emulated processor's (i686).
# Usage: i386_classify EXIT_STATUS OUTPUT HOST_MACHINE
i386_classify() {
  local status=$1 output=$2 host=$3
  if [ "$status" -eq 0 ] && [ "$output" = "$host" ]; then
    echo native
  elif [ "$status" -eq 0 ] && [[ "$output" =~ ^i[3-6]86$ ]]; then
    echo emulated
  elif [[ "$output" == *"Exec format error"* ]]; then
    echo needs-emulation
  else
    echo cannot-run
  fi
}

# Builds the probe (needs gcc -m32) and prints the verdict for this machine.
i386_probe() {
  local dir status output
  dir=$(mktemp -d)
  if ! printf '%s\n' '#include <stdio.h>' '#include <sys/utsname.h>' \
      'int main(void) { struct utsname u; if (uname(&u) != 0) return 1; puts(u.machine); return 0; }' \
      | gcc -m32 -x c - -o "$dir/probe" 2>"$dir/cc.log"; then
    cat "$dir/cc.log" >&2
    rm -rf "$dir"
    echo cannot-run
    return
  fi
  status=0
  output=$("$dir/probe" 2>&1) || status=$?
  rm -rf "$dir"
  i386_classify "$status" "$output" "$(uname -m)"
}

# True when an enabled binfmt_misc handler already claims i386 ELF executables.
i386_handler_registered() {
  local entry
  # "register" and "status" hold no magic line, so they never match.
  for entry in "$i386_binfmt_dir"/*; do
    if grep -qx enabled "$entry" 2>/dev/null && grep -q '^magic 7f454c460101010000000000000000000[23]000300' "$entry"; then
      return 0
    fi
  done
  return 1
}

# Installs qemu-user-static, mounts binfmt_misc and registers the i386 handler, each
# only when missing. Prints what is missing and fails where it cannot be done.
# Usage: i386_enable_emulation SUDO ("" as root, "sudo" otherwise)
i386_enable_emulation() {
  local sudo=$1
  if [ "$(id -u)" -ne 0 ] && ! command -v sudo >/dev/null; then
    echo "This kernel cannot run 32-bit programs, and setting up the i386 emulator needs root:" >&2
    echo "  run 'tools/install-deps.sh' as root (or install sudo), or use a kernel with IA-32 emulation." >&2
    return 1
  fi
  if [ ! -x "$i386_emulator" ]; then
    $sudo apt-get update -q >/dev/null
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends qemu-user-static >/dev/null
  fi
  if [ ! -e "$i386_binfmt_dir/register" ]; then
    if ! $sudo mount -t binfmt_misc binfmt_misc "$i386_binfmt_dir" 2>/dev/null; then
      echo "This kernel cannot run 32-bit programs, and binfmt_misc is not available to register the" >&2
      echo "i386 emulator: load it ('modprobe binfmt_misc') and mount it at $i386_binfmt_dir, or use a" >&2
      echo "kernel with IA-32 emulation (CONFIG_IA32_EMULATION, not switched off by ia32_emulation=0)." >&2
      return 1
    fi
  fi
  if ! i386_handler_registered; then
    # F: the kernel opens the emulator now, so the handler works in every mount namespace.
    printf ':%s:M::%s:%s:%s:F' "$i386_binfmt_name" "$i386_binfmt_magic" "$i386_binfmt_mask" "$i386_emulator" \
      | $sudo tee "$i386_binfmt_dir/register" >/dev/null
  fi
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  case "${1:-}" in
    status)
      verdict=$(i386_probe)
      echo "$verdict"
      [ "$verdict" = native ]
      ;;
    *)
      echo "usage: $0 status" >&2
      exit 2
      ;;
  esac
fi
