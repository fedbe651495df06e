#include "host/sys_timer.h"

#include "host/sys_runtime.h"

sysTimer::sysTimer(int hertz) {
  const int period = 1000 / hertz;
  // Above 1000 Hz the period is 0 and the timer never ticks: its waits never return.
  if (period > 0) {
    timer_ = std::make_unique<PeriodicTimer>(period, [this] { tick(); });
  }
}

sysTimer::~sysTimer() {
  timer_.reset();
}

void sysTimer::tick() {
  ticks_.fetch_add(1, std::memory_order_release);
  event_.signal();
}

int32_t sysTimer::wait() {
  while (!event_.wait(1000)) {
  }
  const uint32_t now = ticks_.load(std::memory_order_acquire);
  const int32_t passed = int32_t(now - ticksSeen_);
  ticksSeen_ = now;
  return passed;
}

sysTimer* sysRuntime::createTimer(int hertz) {
  if (hertz <= 0) {
    return nullptr;  // a rate of 0 or less has no period
  }
  sysTimer* timer = new sysTimer(hertz);
  timers_.insert(timer);
  return timer;
}

int sysRuntime::waitTimer(sysTimer* timer) {
  // A handle that is not a live timer would be a wild pointer: answer 0 instead.
  return timers_.count(timer) ? timer->wait() : 0;
}

void sysRuntime::freeTimer(sysTimer* timer) {
  if (timers_.erase(timer) != 0) {
    delete timer;
  }
}
