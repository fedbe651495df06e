#include "platform/auto_reset_event.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <ctime>

namespace {

long futex(std::atomic<uint32_t>* word, int op, uint32_t value, const timespec* timeout) {
  return syscall(SYS_futex, reinterpret_cast<uint32_t*>(word), op, value, timeout, nullptr, 0);
}

}  // namespace

void AutoResetEvent::signal() {
  signalled_.store(1, std::memory_order_release);
  futex(&signalled_, FUTEX_WAKE_PRIVATE, 1, nullptr);
}

bool AutoResetEvent::wait(int timeoutMs) {
  timespec deadline;
  clock_gettime(CLOCK_MONOTONIC, &deadline);
  deadline.tv_sec += timeoutMs / 1000;
  deadline.tv_nsec += long(timeoutMs % 1000) * 1000000L;
  if (deadline.tv_nsec >= 1000000000L) {
    deadline.tv_sec += 1;
    deadline.tv_nsec -= 1000000000L;
  }
  for (;;) {
    if (signalled_.exchange(0, std::memory_order_acquire) == 1) {
      return true;
    }
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    timespec left{deadline.tv_sec - now.tv_sec, deadline.tv_nsec - now.tv_nsec};
    if (left.tv_nsec < 0) {
      left.tv_sec -= 1;
      left.tv_nsec += 1000000000L;
    }
    if (left.tv_sec < 0) {
      return false;
    }
    futex(&signalled_, FUTEX_WAIT_PRIVATE, 0, &left);
  }
}
