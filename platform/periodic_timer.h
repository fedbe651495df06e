// A periodic tick on a thread of its own with absolute deadlines, so that a 16 ms
// period gives 62.5 ticks per second without drift. The tick function must be short:
// it runs on the timer thread.
#pragma once
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class PeriodicTimer {
 public:
  PeriodicTimer(int periodMs, std::function<void()> tick);
  ~PeriodicTimer();  // stops the thread at once
  PeriodicTimer(const PeriodicTimer&) = delete;
  PeriodicTimer& operator=(const PeriodicTimer&) = delete;

 private:
  void run(int periodMs);

  std::function<void()> tick_;
  std::mutex mutex_;
  std::condition_variable stop_;
  bool stopping_ = false;
  std::thread thread_;
};
