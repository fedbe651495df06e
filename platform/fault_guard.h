// Processor faults in the running program become runtime errors: while a guard is
// installed, SIGSEGV, SIGBUS, SIGILL and SIGFPE are caught on an alternate stack and,
// when a program is running, turned into a jump back to the program runner.
#pragma once
#include <csetjmp>

// What the fault handler needs: where to jump, whether a program is running, and
// where to leave the message.
struct FaultTarget {
  sigjmp_buf* target;
  volatile bool* armed;
  const char* volatile* message;
  volatile bool* fault;
};

class FaultGuard {
 public:
  explicit FaultGuard(const FaultTarget& target);  // installs; restores on destruction
  ~FaultGuard();
  FaultGuard(const FaultGuard&) = delete;
  FaultGuard& operator=(const FaultGuard&) = delete;
};

// The message for a fault, as the handler chooses it (exposed for tests).
const char* faultMessage(int signal, int code, const void* address, const void* stackPointer);
