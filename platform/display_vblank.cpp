// The vertical blank and the scan line of a display, derived from its refresh rate and
// the monotonic clock: SDL reports neither.
#include <cerrno>
#include <ctime>

#include "platform/display.h"

namespace {

int64_t monotonicNanos() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

}  // namespace

int PlatformDisplay::blankLines() const {
  return height_ * 45 / 480 > 1 ? height_ * 45 / 480 : 1;
}

void PlatformDisplay::waitVerticalBlank() {
  const int64_t period = 1000000000 / refreshRate_;
  const int64_t next = (monotonicNanos() / period + 1) * period;
  const timespec deadline{time_t(next / 1000000000), long(next % 1000000000)};
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
  }
}

int PlatformDisplay::scanLine() const {
  const int64_t period = 1000000000 / refreshRate_;
  const int blank = blankLines();
  const int64_t total = height_ + blank;
  const int line = int(monotonicNanos() % period * total / period);
  return line < blank ? height_ + line : line - blank;
}
