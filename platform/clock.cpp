#include "platform/clock.h"

#include <ctime>

uint32_t monotonicMillis() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  const uint64_t ms = uint64_t(now.tv_sec) * 1000u + uint64_t(now.tv_nsec) / 1000000u;
  return uint32_t(ms);
}

void sleepMillis(int milliseconds) {
  if (milliseconds <= 0) {
    return;
  }
  timespec request{milliseconds / 1000, long(milliseconds % 1000) * 1000000L};
  while (nanosleep(&request, &request) != 0) {
  }
}
