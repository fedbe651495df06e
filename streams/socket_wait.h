// The sockets module's time-outs and its one way of waiting on a socket: bounded by a
// deadline on the millisecond clock, and keeping the window responsive while it waits.
#pragma once
#include <cstdint>

#include "platform/socket.h"

struct SocketTimeouts {
  int32_t udpReceive = 0;   // ms RecvUDPMsg waits; 0: do not wait
  int32_t tcpRead = 10000;  // ms a TCP read waits for all its bytes; 0: do not wait
  int32_t tcpAccept = 0;    // ms AcceptTCPStream waits; 0: do not wait
};
extern SocketTimeouts socketTimeouts;

// A deadline millis from now (0 or less: now).
uint32_t deadlineAfter(int32_t millis);

// A deadline millis after the first time it is asked for: an operation whose bytes are
// already there never reads the clock.
class FirstWaitDeadline {
 public:
  explicit FirstWaitDeadline(int32_t millis) : millis_(millis) {}
  uint32_t get() {
    if (!known_) {
      deadline_ = deadlineAfter(millis_);
      known_ = true;
    }
    return deadline_;
  }

 private:
  int32_t millis_;
  uint32_t deadline_ = 0;
  bool known_ = false;
};

// Waits until the socket is ready or the deadline passes: 1 ready, 0 not in time, -1
// error. A wait longer than a slice pumps window messages between slices and ends the
// program silently (ksEx) when the window was closed or an end was requested meanwhile.
int waitUntil(int fd, SocketReady what, uint32_t deadline);
