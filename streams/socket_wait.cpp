// Bounded socket waits. The system waits at most one slice at a time; between slices
// the window's messages are pumped as Delay pumps them, so a long read or accept does
// not freeze the window and a closed window ends the program.
#include "streams/socket_wait.h"

#include <algorithm>

#include "basic/ks_error.h"
#include "platform/clock.h"

SocketTimeouts socketTimeouts;

namespace {

constexpr int32_t kPumpSliceMillis = 100;

}  // namespace

uint32_t deadlineAfter(int32_t millis) {
  return monotonicMillis() + static_cast<uint32_t>(std::max(millis, 0));
}

int waitUntil(int fd, SocketReady what, uint32_t deadline) {
  for (;;) {
    const int32_t remaining = std::max(static_cast<int32_t>(deadline - monotonicMillis()), 0);
    const int32_t slice = std::min(remaining, kPumpSliceMillis);
    const int ready = waitSocket(fd, what, slice);
    if (ready != 0 || remaining <= slice) {
      return ready;
    }
    pumpOrEnd();
  }
}
