#include "platform/socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace {

sockaddr_in toSockaddr(SocketAddress address) {
  sockaddr_in raw{};
  raw.sin_family = AF_INET;
  raw.sin_addr.s_addr = htonl(address.ip);
  raw.sin_port = htons(address.port);
  return raw;
}

SocketAddress fromSockaddr(const sockaddr_in& raw) {
  return SocketAddress{ntohl(raw.sin_addr.s_addr), ntohs(raw.sin_port)};
}

bool bindAny(int fd, uint16_t port) {
  const sockaddr_in any = toSockaddr(SocketAddress{INADDR_ANY, port});
  return ::bind(fd, reinterpret_cast<const sockaddr*>(&any), sizeof any) == 0;
}

// Sockets are closed on exec, so a program started by ExecFile holds none of ours.
int newSocket(int type) { return ::socket(AF_INET, type | SOCK_CLOEXEC, 0); }

int wouldWaitOr(ssize_t result) {
  if (result >= 0) {
    return static_cast<int>(result);
  }
  return errno == EAGAIN || errno == EWOULDBLOCK ? kSocketWouldWait : kSocketFailed;
}

}  // namespace

bool lookupHost(const std::string& name, std::vector<uint32_t>& addresses) {
  addresses.clear();
  if (name.empty()) {
    return false;
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;  // one entry per address, not one per socket type
  addrinfo* found = nullptr;
  if (::getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0) {
    return false;
  }
  for (const addrinfo* entry = found; entry; entry = entry->ai_next) {
    if (entry->ai_family == AF_INET) {
      const uint32_t ip = fromSockaddr(*reinterpret_cast<const sockaddr_in*>(entry->ai_addr)).ip;
      if (std::find(addresses.begin(), addresses.end(), ip) == addresses.end()) {
        addresses.push_back(ip);
      }
    }
  }
  ::freeaddrinfo(found);
  return true;
}

bool parseDottedAddress(const std::string& text, uint32_t& ip) {
  in_addr parsed{};
  if (text.empty() || ::inet_aton(text.c_str(), &parsed) == 0) {
    return false;
  }
  ip = ntohl(parsed.s_addr);
  return true;
}

int openUdpSocket(uint16_t port) {
  const int fd = newSocket(SOCK_DGRAM);
  if (fd < 0) {
    return -1;
  }
  if (!bindAny(fd, port)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

int openTcpListener(uint16_t port, int backlog) {
  const int fd = newSocket(SOCK_STREAM | SOCK_NONBLOCK);
  if (fd < 0) {
    return -1;
  }
  if (!bindAny(fd, port) || ::listen(fd, backlog) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// The socket does not block: every receive and send on it says so itself anyway.
int startTcpConnect(SocketAddress to, uint16_t localPort, bool& pending) {
  pending = false;
  const int fd = newSocket(SOCK_STREAM | SOCK_NONBLOCK);
  if (fd < 0) {
    return -1;
  }
  if (localPort != 0 && !bindAny(fd, localPort)) {
    ::close(fd);
    return -1;
  }
  const sockaddr_in raw = toSockaddr(to);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&raw), sizeof raw) == 0) {
    return fd;
  }
  if (errno == EINPROGRESS || errno == EINTR) {
    pending = true;
    return fd;
  }
  ::close(fd);
  return -1;
}

int connectResult(int fd) {
  int error = 0;
  socklen_t length = sizeof error;
  if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
    return -1;
  }
  SocketAddress peer;
  return peerAddress(fd, peer) ? 0 : -1;
}

// The listener does not block, so a connection reset between the wait and the accept
// cannot leave the program waiting for the next one.
int acceptConnection(int listener, SocketAddress& peer, bool& transient) {
  sockaddr_in raw{};
  socklen_t length = sizeof raw;
  int fd;
  do {
    fd = ::accept4(listener, reinterpret_cast<sockaddr*>(&raw), &length, SOCK_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    transient = errno != EBADF && errno != EINVAL && errno != ENOTSOCK && errno != EOPNOTSUPP &&
                errno != EFAULT;
    return -1;
  }
  peer = length >= sizeof raw ? fromSockaddr(raw) : SocketAddress{};
  return fd;
}

void closeSocket(int fd) {
  if (fd >= 0) {
    ::close(fd);
  }
}

bool localAddress(int fd, SocketAddress& address) {
  sockaddr_in raw{};
  socklen_t length = sizeof raw;
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&raw), &length) != 0) {
    return false;
  }
  address = fromSockaddr(raw);
  return true;
}

bool peerAddress(int fd, SocketAddress& address) {
  sockaddr_in raw{};
  socklen_t length = sizeof raw;
  if (::getpeername(fd, reinterpret_cast<sockaddr*>(&raw), &length) != 0) {
    return false;
  }
  address = fromSockaddr(raw);
  return true;
}

// poll rather than select: select cannot watch a descriptor numbered 1024 or above.
int waitSocket(int fd, SocketReady what, int millis) {
  pollfd watched{fd, static_cast<short>(what == SocketReady::Read ? POLLIN : POLLOUT), 0};
  const int result = ::poll(&watched, 1, std::max(millis, 0));
  if (result < 0) {
    return errno == EINTR ? 0 : -1;
  }
  if (result == 0) {
    return 0;
  }
  // An error or a hang-up counts as ready: the next receive or send reports it.
  return (watched.revents & POLLNVAL) ? -1 : 1;
}

int pendingBytes(int fd) {
  int count = 0;
  return ::ioctl(fd, FIONREAD, &count) == 0 ? count : -1;
}

int receiveNow(int fd, void* buffer, int count) {
  ssize_t got;
  do {
    got = ::recv(fd, buffer, static_cast<size_t>(count), MSG_DONTWAIT);
  } while (got < 0 && errno == EINTR);
  return wouldWaitOr(got);
}

int sendNow(int fd, const void* buffer, int count) {
  ssize_t put;
  do {
    put = ::send(fd, buffer, static_cast<size_t>(count), MSG_DONTWAIT | MSG_NOSIGNAL);
  } while (put < 0 && errno == EINTR);
  return wouldWaitOr(put);
}

int receiveDatagramNow(int fd, void* buffer, int count, SocketAddress& from) {
  sockaddr_in raw{};
  socklen_t length = sizeof raw;
  ssize_t got;
  do {
    got = ::recvfrom(fd, buffer, static_cast<size_t>(count), MSG_DONTWAIT | MSG_TRUNC,
                     reinterpret_cast<sockaddr*>(&raw), &length);
  } while (got < 0 && errno == EINTR);
  if (got >= 0) {
    from = fromSockaddr(raw);
    return static_cast<int>(got);
  }
  if (errno == ECONNREFUSED || errno == EHOSTUNREACH || errno == ENETUNREACH ||
      errno == EHOSTDOWN || errno == EMSGSIZE) {
    return kSocketNotice;
  }
  return wouldWaitOr(got);
}

int sendDatagram(int fd, const void* buffer, int count, SocketAddress to) {
  const sockaddr_in raw = toSockaddr(to);
  ssize_t put;
  do {
    put = ::sendto(fd, buffer, static_cast<size_t>(count), MSG_NOSIGNAL,
                   reinterpret_cast<const sockaddr*>(&raw), sizeof raw);
  } while (put < 0 && errno == EINTR);
  return put >= 0 ? static_cast<int>(put) : kSocketFailed;
}

int peekState(int fd) {
  char byte;
  ssize_t got;
  do {
    got = ::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
  } while (got < 0 && errno == EINTR);
  if (got > 0) {
    return 1;
  }
  return got == 0 ? 0 : wouldWaitOr(got);
}
