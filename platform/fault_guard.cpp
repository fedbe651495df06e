#include "platform/fault_guard.h"

#include <pthread.h>
#include <signal.h>
#include <sys/ucontext.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE};
constexpr int kSignalCount = sizeof kSignals / sizeof kSignals[0];

FaultTarget current{};
struct sigaction previous[kSignalCount];
stack_t previousStack;
void* altStack = nullptr;
uintptr_t stackLow = 0;   // lowest address of the running thread's stack
uintptr_t stackHigh = 0;
int installCount = 0;

void readStackBounds() {
  pthread_attr_t attr;
  if (pthread_getattr_np(pthread_self(), &attr) != 0) {
    return;
  }
  void* address = nullptr;
  size_t size = 0;
  if (pthread_attr_getstack(&attr, &address, &size) == 0) {
    stackLow = reinterpret_cast<uintptr_t>(address);
    stackHigh = stackLow + size;
  }
  pthread_attr_destroy(&attr);
}

void chainToPrevious(int signal, siginfo_t* info, void* context) {
  for (int i = 0; i < kSignalCount; ++i) {
    if (kSignals[i] != signal) {
      continue;
    }
    const struct sigaction& old = previous[i];
    if (old.sa_flags & SA_SIGINFO) {
      if (old.sa_sigaction) {
        old.sa_sigaction(signal, info, context);
        return;
      }
    } else if (old.sa_handler != SIG_IGN && old.sa_handler != SIG_DFL) {
      old.sa_handler(signal);
      return;
    }
  }
  // Default action: restore it and let the fault happen again.
  struct sigaction dfl{};
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  sigaction(signal, &dfl, nullptr);
}

void onFault(int signal, siginfo_t* info, void* context) {
  if (!current.armed || !*current.armed) {
    chainToPrevious(signal, info, context);
    return;
  }
  const void* sp = nullptr;
#if defined(__i386__)
  sp = reinterpret_cast<const void*>(static_cast<ucontext_t*>(context)->uc_mcontext.gregs[REG_ESP]);
#endif
  *current.message = faultMessage(signal, info->si_code, info->si_addr, sp);
  *current.fault = true;
  siglongjmp(*current.target, 1);
}

}  // namespace

const char* faultMessage(int signal, int code, const void* address, const void* stackPointer) {
  switch (signal) {
    case SIGSEGV:
    case SIGBUS: {
      const uintptr_t addr = reinterpret_cast<uintptr_t>(address);
      const uintptr_t sp = reinterpret_cast<uintptr_t>(stackPointer);
      const uintptr_t guard = 1u << 20;  // the guard zone and the region just inside it
      const bool nearBottom = stackLow != 0 && addr + guard >= stackLow && addr < stackLow + 65536;
      const bool spExhausted = stackLow != 0 && sp != 0 && sp < stackLow + 4096;
      return (nearBottom || spExhausted) ? "Stack overflow!" : "Illegal memory address";
    }
    case SIGILL:
      return "Illegal instruction";
    case SIGFPE:
      return code == FPE_INTDIV ? "Integer divide by zero" : "Unknown runtime exception";
    default:
      return "Unknown runtime exception";
  }
}

FaultGuard::FaultGuard(const FaultTarget& target) {
  if (installCount++ > 0) {
    return;
  }
  current = target;
  readStackBounds();
  const size_t size = 256 * 1024;
  altStack = std::malloc(size);
  stack_t stack{};
  stack.ss_sp = altStack;
  stack.ss_size = size;
  sigaltstack(&stack, &previousStack);
  for (int i = 0; i < kSignalCount; ++i) {
    struct sigaction action{};
    action.sa_sigaction = onFault;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    sigaction(kSignals[i], &action, &previous[i]);
  }
}

FaultGuard::~FaultGuard() {
  if (--installCount > 0) {
    return;
  }
  for (int i = 0; i < kSignalCount; ++i) {
    sigaction(kSignals[i], &previous[i], nullptr);
  }
  sigaltstack(&previousStack, nullptr);
  std::free(altStack);
  altStack = nullptr;
  current = FaultTarget{};
}
