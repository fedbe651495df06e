// TCP streams and servers over the platform's sockets. Every wait is bounded by a
// time-out, except connects and sends, which wait for the system or the peer but still
// pump the window while they wait.
#include "streams/tcp_stream.h"

#include "basic/ks_error.h"
#include "streams/socket_wait.h"

namespace {

constexpr int32_t kSliceMillis = 100;

bool validPort(int32_t port) { return port >= 0 && port <= 65535; }

}  // namespace

TcpStream* TcpStream::connect(uint32_t ip, int32_t port, int32_t localPort) {
  if (!validPort(port) || !validPort(localPort)) {
    return nullptr;
  }
  bool pending = false;
  const int fd = startTcpConnect(SocketAddress{ip, static_cast<uint16_t>(port)},
                                 static_cast<uint16_t>(localPort), pending);
  if (fd < 0) {
    return nullptr;
  }
  // The system's own time-out ends a connection that does not come; meanwhile the
  // window is pumped, and an end of the program closes the socket on the way out.
  try {
    int ready = 0;
    while (pending && ready == 0) {
      ready = waitUntil(fd, SocketReady::Write, deadlineAfter(kSliceMillis));
      if (ready == 0) {
        pumpOrEnd();
      }
    }
    if (pending && (ready < 0 || connectResult(fd) != 0)) {
      closeSocket(fd);
      return nullptr;
    }
  } catch (...) {
    closeSocket(fd);
    throw;
  }
  return new TcpStream(fd, nullptr);
}

TcpStream::TcpStream(int fd, TcpServer* server) : fd_(fd), server_(server) {
  if (!peerAddress(fd, peer_)) {
    peer_ = SocketAddress{};
  }
}

TcpStream::~TcpStream() {
  if (server_) {
    server_->accepted.erase(this);
  }
  closeSocket(fd_);
}

// Bytes already waiting are taken without a wait; the deadline covers the whole read.
int TcpStream::read(void* buffer, int count) {
  if (state_ != kOpen || count <= 0) {
    return 0;
  }
  char* const bytes = static_cast<char*>(buffer);
  FirstWaitDeadline deadline(socketTimeouts.tcpRead);
  int done = 0;
  while (done < count) {
    const int got = receiveNow(fd_, bytes + done, count - done);
    if (got > 0) {
      done += got;
      continue;
    }
    if (got == 0) {
      state_ = kClosedByPeer;
      break;
    }
    if (got == kSocketFailed || waitUntil(fd_, SocketReady::Read, deadline.get()) != 1) {
      state_ = kFailed;
      break;
    }
  }
  return done;
}

int TcpStream::write(const void* buffer, int count) {
  if (state_ != kOpen || count <= 0) {
    return 0;
  }
  const char* const bytes = static_cast<const char*>(buffer);
  int done = 0;
  while (done < count) {
    const int put = sendNow(fd_, bytes + done, count - done);
    if (put > 0) {
      done += put;
      continue;
    }
    // A full send buffer: wait for room as long as the peer takes, a slice at a time,
    // pumping the window between slices.
    const int ready = put == kSocketFailed
                          ? -1
                          : waitUntil(fd_, SocketReady::Write, deadlineAfter(kSliceMillis));
    if (ready < 0) {
      state_ = kFailed;
      return done;  // what the peer was given before the connection broke
    }
    if (ready == 0) {
      pumpOrEnd();
    }
  }
  return done;
}

int TcpStream::avail() {
  if (state_ != kOpen) {
    return 0;
  }
  const int count = pendingBytes(fd_);
  if (count < 0) {
    state_ = kFailed;
    return 0;
  }
  return count;
}

// A reset connection reads as failed (-1), a closed one as ended (1).
int TcpStream::eof() {
  if (state_ != kOpen) {
    return state_;
  }
  const int found = peekState(fd_);
  if (found == 0) {
    state_ = kClosedByPeer;
  } else if (found == kSocketFailed) {
    state_ = kFailed;
  }
  return state_;
}

TcpServer* TcpServer::listen(int32_t port) {
  if (!validPort(port)) {
    return nullptr;
  }
  const int fd = openTcpListener(static_cast<uint16_t>(port), kBacklog);
  return fd < 0 ? nullptr : new TcpServer(fd);
}

TcpServer::~TcpServer() { closeSocket(fd_); }

TcpStream* TcpServer::accept() {
  if (failed_) {
    return nullptr;
  }
  const int ready = waitUntil(fd_, SocketReady::Read, deadlineAfter(socketTimeouts.tcpAccept));
  if (ready <= 0) {
    failed_ = ready < 0;
    return nullptr;
  }
  SocketAddress peer;
  bool transient = false;
  const int fd = acceptConnection(fd_, peer, transient);
  if (fd < 0) {
    failed_ = !transient;
    return nullptr;
  }
  TcpStream* const stream = new TcpStream(fd, this);
  accepted.insert(stream);
  return stream;
}
