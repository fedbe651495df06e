// TCP streams and servers. A stream is a connected socket read and written through the
// stream interface, with a state that only ever moves away from open; a server is a
// listening socket and the set of streams it accepted that are still open.
#pragma once
#include <cstdint>
#include <set>

#include "platform/socket.h"
#include "streams/stream.h"

class TcpServer;

class TcpStream final : public ksStream {
 public:
  static constexpr int kOpen = 0;
  static constexpr int kClosedByPeer = 1;
  static constexpr int kFailed = -1;

  // Connects to the address and port (localPort != 0 binds the local end first); null
  // on failure or for a port outside 0 ... 65535.
  static TcpStream* connect(uint32_t ip, int32_t port, int32_t localPort);
  // Takes over an accepted socket; the server's accepted set is the caller's to fill.
  TcpStream(int fd, TcpServer* server);
  // Leaves its server's accepted set, then closes the socket.
  ~TcpStream() override;

  // Waits up to the TCP read time-out for all count bytes; fewer when the peer closes,
  // an error occurs or the time runs out (the stream is then failed).
  int read(void* buffer, int count) override;
  // Sends every byte unless the connection fails; never raises SIGPIPE.
  int write(const void* buffer, int count) override;
  int avail() override;
  int eof() override;

  SocketAddress peer() const { return peer_; }
  TcpServer* server() const { return server_; }
  int state() const { return state_; }

 private:
  const int fd_;
  TcpServer* const server_;
  int state_ = kOpen;
  SocketAddress peer_;
};

class TcpServer {
 public:
  // Listens on the port on all local interfaces; null on failure.
  static TcpServer* listen(int32_t port);
  // Closes the listening socket only: the caller closes the accepted streams first.
  ~TcpServer();
  TcpServer(const TcpServer&) = delete;
  TcpServer& operator=(const TcpServer&) = delete;

  // The next connection within the TCP accept time-out, or null. A connection reset
  // before it could be taken is skipped; only a broken listener fails the server.
  TcpStream* accept();

  bool failed() const { return failed_; }
  std::set<TcpStream*> accepted;  // accepted streams still open

 private:
  static constexpr int kBacklog = 5;
  explicit TcpServer(int fd) : fd_(fd) {}
  const int fd_;
  bool failed_ = false;
};
