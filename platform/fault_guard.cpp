// Processor faults during a run. A fault is unwound only where nothing can be left
// half done: on the program thread, in the program's code or the runtime's own. A fault
// inside a library (the allocator, stdio) may hold its locks, so the teardown would wait
// on them for ever: such a fault is reported and the process ends.
#include "platform/fault_guard.h"

#include <fcntl.h>
#include <link.h>
#include <pthread.h>
#include <signal.h>
#include <sys/ucontext.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/fpu_mode.h"

uintptr_t programStackFloor = 0;

namespace {

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE};
constexpr int kSignalCount = sizeof kSignals / sizeof kSignals[0];

FaultTarget current{};
struct sigaction previous[kSignalCount];
stack_t previousStack;
void* altStack = nullptr;
uintptr_t stackLow = 0;   // lowest address of the running thread's stack
uintptr_t stackHigh = 0;
pid_t programThread = 0;
uint32_t runMxcsr = 0;    // restored after a fault: the handler starts with a clean one
uintptr_t ownCodeLow = 0;  // the loaded object holding this code (the runtime library)
uintptr_t ownCodeHigh = 0;
int installCount = 0;

// Room left below the stack floor for whatever library an entry calls.
constexpr uintptr_t kStackReserve = 512 * 1024;

int findOwnCode(dl_phdr_info* info, size_t, void*) {
  const uintptr_t self = reinterpret_cast<uintptr_t>(&findOwnCode);
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr)& segment = info->dlpi_phdr[i];
    const uintptr_t low = info->dlpi_addr + segment.p_vaddr;
    if (segment.p_type == PT_LOAD && (segment.p_flags & PF_X) && self >= low && self < low + segment.p_memsz) {
      ownCodeLow = low;
      ownCodeHigh = low + segment.p_memsz;
      return 1;
    }
  }
  return 0;
}

uintptr_t parseHex(const char*& p) {
  uintptr_t value = 0;
  for (;; ++p) {
    const char c = *p;
    const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    if (digit < 0) {
      return value;
    }
    value = value << 4 | uintptr_t(digit);
  }
}

// One line of the maps file, "low-high perms offset device inode [path]": whether it
// holds the address, and if so whether the mapping is anonymous (no path).
bool mappingHolds(const char* line, uintptr_t address, bool& anonymous) {
  const char* p = line;
  const uintptr_t low = parseHex(p);
  if (*p++ != '-') {
    return false;
  }
  const uintptr_t high = parseHex(p);
  if (address < low || address >= high) {
    return false;
  }
  for (int field = 0; field < 4; ++field) {
    while (*p == ' ') {
      ++p;
    }
    while (*p != '\0' && *p != ' ') {
      ++p;
    }
  }
  while (*p == ' ') {
    ++p;
  }
  anonymous = *p == '\0';
  return true;
}

// Whether an address lies in anonymous memory, as module code does (whichever linker
// mapped it), rather than in a file such as a library. System calls only: it runs in
// the signal handler.
bool inAnonymousMapping(uintptr_t address) {
  const int fd = open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    return false;
  }
  char chunk[1024];
  char line[256];  // a longer line keeps its start, which is all that is read
  size_t used = 0;
  bool found = false;
  bool anonymous = false;
  ssize_t got;
  while (!found && (got = read(fd, chunk, sizeof chunk)) > 0) {
    for (ssize_t i = 0; i < got && !found; ++i) {
      if (chunk[i] != '\n') {
        if (used < sizeof line - 1) {
          line[used++] = chunk[i];
        }
        continue;
      }
      line[used] = '\0';
      used = 0;
      found = mappingHolds(line, address, anonymous);
    }
  }
  close(fd);
  return found && anonymous;
}

bool canUnwindFrom(uintptr_t pc) {
  return (pc >= ownCodeLow && pc < ownCodeHigh) || inAnonymousMapping(pc);
}

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

void writeText(const char* text) {
  (void)!write(STDERR_FILENO, text, std::strlen(text));
}

// The report may itself wait on a lock the faulting code holds: an alarm ends the
// process if it has not ended by then (long enough to read a message box).
[[noreturn]] void endProcessAfter(const char* message) {
  writeText("Kestrel runtime: ");
  writeText(message);
  writeText(" inside library code, where the run cannot be unwound safely: the process ends.\n");
  signal(SIGALRM, SIG_DFL);
  sigset_t alarmOnly;
  sigemptyset(&alarmOnly);
  sigaddset(&alarmOnly, SIGALRM);
  pthread_sigmask(SIG_UNBLOCK, &alarmOnly, nullptr);
  alarm(30);
  if (current.reportUnrecoverable) {
    current.reportUnrecoverable(message);
  }
  _exit(kUnrecoverableFaultStatus);
}

void onFault(int signal, siginfo_t* info, void* context) {
  if (!current.armed || !*current.armed || gettid() != programThread) {
    chainToPrevious(signal, info, context);
    return;
  }
  const mcontext_t& registers = static_cast<ucontext_t*>(context)->uc_mcontext;
  const void* sp = reinterpret_cast<const void*>(registers.gregs[REG_ESP]);
  const uintptr_t pc = uintptr_t(registers.gregs[REG_EIP]);
  const char* message = faultMessage(signal, info->si_code, info->si_addr, sp);
  if (!canUnwindFrom(pc)) {
    endProcessAfter(message);
  }
  // The handler began with the processor's default floating-point modes.
  writeFpuControlWord(FpuRunMode::kRunWord);
  writeMxcsr(runMxcsr);
  *current.message = message;
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
  programThread = gettid();
  runMxcsr = readMxcsr();
  if (ownCodeHigh == 0) {
    dl_iterate_phdr(findOwnCode, nullptr);
  }
  readStackBounds();
  if (stackHigh - stackLow > 2 * kStackReserve) {
    programStackFloor = stackLow + kStackReserve;
  } else if (stackLow != 0) {
    programStackFloor = stackLow + (stackHigh - stackLow) / 4;
  }
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
  programStackFloor = 0;
  programThread = 0;
}
