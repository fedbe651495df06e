// Figures measured under an emulator (qemu-user running the i386 build on a kernel without
// 32-bit support) mean nothing: every benchmark report says so on its first line.
#pragma once
#include <sys/utsname.h>

#include <cstdio>
#include <fstream>
#include <string>

// A 32-bit process on a 64-bit kernel sees the kernel's machine name ("x86_64"), the
// same as /proc reports; qemu-user answers uname with the emulated processor's ("i686").
inline bool runningEmulated() {
  utsname names{};
  std::ifstream arch("/proc/sys/kernel/arch");
  std::string kernel;
  return uname(&names) == 0 && (arch >> kernel) && kernel != names.machine;
}

// Prints the warning line when emulated; returns whether it did.
inline bool printEmulationNotice() {
  const bool emulated = runningEmulated();
  if (emulated) {
    std::printf("EMULATED: these figures come from the qemu-user emulator (this kernel runs no 32-bit "
                "programs) and are not comparable with native runs or goals.\n");
    std::fflush(stdout);
  }
  return emulated;
}
