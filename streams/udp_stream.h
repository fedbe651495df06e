// UDP streams: a datagram socket read and written through the stream interface. Reads
// take from the last datagram received; writes collect the next one to send.
#pragma once
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/socket.h"
#include "streams/stream.h"

class UdpStream final : public ksStream {
 public:
  // Bound to the port on all local interfaces (0: any free port); null on failure or
  // for a port outside 0 ... 65535.
  static UdpStream* create(int32_t port);
  ~UdpStream() override;

  int read(void* buffer, int count) override;
  int write(const void* buffer, int count) override;
  int avail() override;
  int eof() override;
  std::string_view buffered() override;
  void skip(int count) override;

  // Takes the next datagram, waiting up to the UDP receive time-out; the sender's
  // address, or 0 when none came (the previous message then stays).
  uint32_t receive();
  // Sends the outgoing message as one datagram to the address and port (0: this
  // stream's own port number); it is emptied once sent whole.
  void send(uint32_t ip, int32_t port);

  SocketAddress local() const { return local_; }
  SocketAddress source() const { return source_; }
  bool failed() const { return failed_; }

 private:
  UdpStream(int fd, SocketAddress local);

  // The largest datagram IPv4 can carry fits, so one receive never cuts one short.
  static constexpr int kLargestDatagram = 65536;

  const int fd_;
  std::unique_ptr<char[]> incoming_;  // made at the first receive
  int incomingSize_ = 0;
  int readPos_ = 0;
  std::vector<char> outgoing_;
  SocketAddress local_;
  SocketAddress source_;
  SocketAddress destination_;
  bool failed_ = false;
};
