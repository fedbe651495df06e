// Processor faults in the running program become runtime errors: while a guard is
// installed, SIGSEGV, SIGBUS, SIGILL and SIGFPE are caught on an alternate stack and,
// when the program thread faults in code that can be unwound, turned into a jump back
// to the program runner. Also the stack floor that entries check before they run.
#pragma once
#include <csetjmp>
#include <cstdint>

// What the fault handler needs: where to jump, whether a program is running, where to
// leave the message, and whom to tell about a fault that cannot be unwound.
struct FaultTarget {
  sigjmp_buf* target;
  volatile bool* armed;
  const char* volatile* message;
  volatile bool* fault;
  // Reports a fault in library code, where locks may be held: the process then ends.
  void (*reportUnrecoverable)(const char* message);
};

// The guard is installed by the thread that runs the program; faults on any other
// thread go to the handlers that were there before.
class FaultGuard {
 public:
  explicit FaultGuard(const FaultTarget& target);  // installs; restores on destruction
  ~FaultGuard();
  FaultGuard(const FaultGuard&) = delete;
  FaultGuard& operator=(const FaultGuard&) = delete;
};

// The exit status of a process ended by a fault that could not be unwound.
constexpr int kUnrecoverableFaultStatus = 1;

// The lowest stack address at which a runtime entry may start on the program thread,
// leaving room for any library it calls; 0 when no program runs.
extern uintptr_t programStackFloor;

inline bool belowProgramStackFloor() {
  return reinterpret_cast<uintptr_t>(__builtin_frame_address(0)) < programStackFloor;
}

// The message for a fault, as the handler chooses it (exposed for tests).
const char* faultMessage(int signal, int code, const void* address, const void* stackPointer);
