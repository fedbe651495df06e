// sysTimer: a periodic frame timer. The tick (on the timer thread) only counts and
// signals; a wait returns how many ticks passed since the previous wait.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>

#include "platform/auto_reset_event.h"
#include "platform/periodic_timer.h"

class sysTimer {
 public:
  explicit sysTimer(int hertz);
  ~sysTimer();
  int32_t wait();
  uint32_t ticks() const { return ticks_.load(); }

 private:
  void tick();

  AutoResetEvent event_;
  std::atomic<uint32_t> ticks_{0};
  uint32_t ticksSeen_ = 0;
  std::unique_ptr<PeriodicTimer> timer_;  // none when the period would be 0
};
