// Ends a run from another thread, as a development environment's Stop button would:
// after --end-after's delay, or when SIGINT or SIGTERM arrives. No signal handler runs:
// the two signals are blocked in every thread and read from a signalfd, which the
// ender thread polls together with the delay and a pipe that says the run has finished,
// so it returns as soon as execute does. (A handler would do under a native kernel, but
// under the qemu-user emulator returning from a handler on one thread can leave that
// thread with another thread's thread pointer.) Children forked by ExecFile get the two
// signals unblocked again.
#pragma once
#include <atomic>
#include <thread>

#include "runtime/runtime_interface.h"

class RunEnder {
 public:
  // Blocks SIGINT and SIGTERM and opens their signalfd. Call it before any other thread
  // starts (threads inherit the mask). False when that cannot be done.
  static bool catchStopSignals();

  // Starts watching; endAfterMs < 0 means no delay.
  RunEnder(Runtime& runtime, int endAfterMs);
  RunEnder(const RunEnder&) = delete;
  RunEnder& operator=(const RunEnder&) = delete;
  ~RunEnder() { finish(); }

  // Called when execute has returned: wakes the thread and joins it.
  void finish();
  // The signal that ended the run, or 0.
  int signal() const { return signal_.load(); }
  // Whether an end was asked for (by the delay or a signal).
  bool endRequested() const { return endRequested_.load(); }

 private:
  void watch(int endAfterMs);

  Runtime& runtime_;
  int finished_[2] = {-1, -1};  // the "run has finished" pipe
  std::atomic<bool> done_{false};  // the same, polled when the pipe could not be made
  std::atomic<int> signal_{0};
  std::atomic<bool> endRequested_{false};
  std::thread thread_;
};
