#!/usr/bin/env bash
# The install script's verdict on a run of its 32-bit probe: native, emulated, needs
# emulation, or cannot run. Needs no root: only the decision is exercised.
set -uo pipefail
. "$(dirname "$0")/../../tools/i386-support.sh"

failures=0
expect() {
  local want=$1 got
  shift
  got=$(i386_classify "$@")
  if [ "$got" != "$want" ]; then
    echo "i386_classify $* -> $got, expected $want"
    failures=$((failures + 1))
  fi
}

# Natively the probe sees the kernel's machine name, whatever the kernel.
expect native 0 x86_64 x86_64
expect native 0 i686 i686
# Under qemu-user it sees the emulated processor's.
expect emulated 0 i686 x86_64
expect emulated 0 i386 x86_64
# The kernel refused it: the shell's message for an unknown binary format.
expect needs-emulation 126 "bash: line 1: /tmp/x/probe: cannot execute binary file: Exec format error" x86_64
# Anything else is a machine that cannot run it, emulator or not.
expect cannot-run 127 "probe: error while loading shared libraries: libc.so.6" x86_64
expect cannot-run 1 "" x86_64
expect cannot-run 0 "" x86_64
expect cannot-run 0 aarch64 x86_64
expect cannot-run 139 "Segmentation fault" x86_64

# A registered handler counts only when it is enabled and claims i386 executables.
i386_binfmt_dir=$(mktemp -d)
trap 'rm -rf "$i386_binfmt_dir"' EXIT
printf 'enabled\n' > "$i386_binfmt_dir/status"
handler() {
  printf '%s\ninterpreter /usr/bin/emu\nflags: F\noffset 0\nmagic %s\nmask ff\n' "$2" "$3" > "$i386_binfmt_dir/$1"
}
registered() {
  if i386_handler_registered; then echo yes; else echo no; fi
}
check_registered() {
  local want=$1 what=$2 got
  got=$(registered)
  if [ "$got" != "$want" ]; then
    echo "handler registered with $what: $got, expected $want"
    failures=$((failures + 1))
  fi
}
check_registered no "no handlers"
handler qemu-arm enabled 7f454c4601010100000000000000000002002800
check_registered no "an ARM handler"
handler qemu-x86_64 enabled 7f454c4602010100000000000000000002003e00
check_registered no "an x86-64 handler"
handler qemu-i386 disabled 7f454c4601010100000000000000000002000300
check_registered no "a disabled i386 handler"
handler other-i386 enabled 7f454c4601010100000000000000000002000300
check_registered yes "an enabled i386 handler of another name"

# The real probe on this machine gives one of the four verdicts.
verdict=$(i386_probe)
case $verdict in
  native|emulated|needs-emulation|cannot-run) ;;
  *) echo "i386_probe -> '$verdict'"; failures=$((failures + 1)) ;;
esac

[ "$failures" -eq 0 ] && echo "i386 support: all verdicts as expected"
exit $(( failures > 0 ))
