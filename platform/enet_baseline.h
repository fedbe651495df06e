// Bare ENet, with nothing of the session layer on top: an echo server and a client that
// times round trips. The benchmarks measure the session layer against it in the same run.
#pragma once
#include <cstddef>
#include <cstdint>

// Serves one ENet host on a free port, echoing every packet on its channel with its
// flags. Writes the port (two bytes) to readyFd, and returns when stopFd becomes readable.
void runBareEnetEcho(int readyFd, int stopFd);

class BareEnetClient {
 public:
  BareEnetClient();
  ~BareEnetClient();
  BareEnetClient(const BareEnetClient&) = delete;
  BareEnetClient& operator=(const BareEnetClient&) = delete;

  bool connect(uint16_t port);  // on 127.0.0.1
  // Sends size bytes and waits for their echo; false after a second without it.
  bool roundTrip(size_t size, bool reliable);

 private:
  void* host_ = nullptr;
  void* peer_ = nullptr;
};
