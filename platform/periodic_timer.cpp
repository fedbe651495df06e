#include "platform/periodic_timer.h"

#include <chrono>

PeriodicTimer::PeriodicTimer(int periodMs, std::function<void()> tick)
    : tick_(std::move(tick)), thread_([this, periodMs] { run(periodMs); }) {}

PeriodicTimer::~PeriodicTimer() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  stop_.notify_all();
  thread_.join();
}

void PeriodicTimer::run(int periodMs) {
  const auto period = std::chrono::milliseconds(periodMs);
  auto deadline = std::chrono::steady_clock::now() + period;
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stop_.wait_until(lock, deadline, [this] { return stopping_; })) {
    tick_();
    deadline += period;
  }
}
