// An auto-reset event: signal() from any thread wakes one wait(), which clears it.
// Lock-free on the signalling side (one atomic word and a futex wake).
#pragma once
#include <atomic>
#include <cstdint>

class AutoResetEvent {
 public:
  void signal();
  // True when signalled within the time-out (milliseconds); the signal is consumed.
  bool wait(int timeoutMs);

 private:
  std::atomic<uint32_t> signalled_{0};
};
