// UDP streams over the platform's sockets. A socket error makes the stream failed for
// good; a receive that finds nothing in time leaves it as it was.
#include "streams/udp_stream.h"

#include <algorithm>
#include <cstring>

#include "streams/socket_wait.h"

UdpStream* UdpStream::create(int32_t port) {
  if (port < 0 || port > 65535) {
    return nullptr;
  }
  const int fd = openUdpSocket(static_cast<uint16_t>(port));
  if (fd < 0) {
    return nullptr;
  }
  SocketAddress local;
  if (!localAddress(fd, local)) {
    closeSocket(fd);
    return nullptr;
  }
  return new UdpStream(fd, local);
}

UdpStream::UdpStream(int fd, SocketAddress local)
    : fd_(fd), local_(local), source_(local), destination_(local) {}

UdpStream::~UdpStream() { closeSocket(fd_); }

int UdpStream::read(void* buffer, int count) {
  if (failed_ || count <= 0) {
    return 0;
  }
  const int n = std::min(count, incomingSize_ - readPos_);
  if (n == 0) {
    return 0;  // also before the first datagram, when there is no buffer yet
  }
  std::memcpy(buffer, incoming_.get() + readPos_, static_cast<size_t>(n));
  readPos_ += n;
  return n;
}

int UdpStream::write(const void* buffer, int count) {
  if (failed_ || count <= 0) {
    return 0;
  }
  const char* const bytes = static_cast<const char*>(buffer);
  outgoing_.insert(outgoing_.end(), bytes, bytes + count);
  return count;
}

int UdpStream::avail() { return failed_ ? 0 : incomingSize_ - readPos_; }

int UdpStream::eof() {
  if (failed_) {
    return -1;
  }
  return readPos_ >= incomingSize_ ? 1 : 0;
}

std::string_view UdpStream::buffered() {
  if (failed_) {
    return {};
  }
  return std::string_view(incoming_.get() + readPos_,
                          static_cast<size_t>(incomingSize_ - readPos_));
}

void UdpStream::skip(int count) { readPos_ += std::clamp(count, 0, incomingSize_ - readPos_); }

// A datagram that reports an error (a port-unreachable notice for an earlier send) is
// skipped, and the same deadline applies to the next one.
uint32_t UdpStream::receive() {
  if (failed_) {
    return 0;
  }
  if (!incoming_) {
    incoming_.reset(new char[kLargestDatagram]);
  }
  FirstWaitDeadline deadline(socketTimeouts.udpReceive);
  for (;;) {
    SocketAddress from;
    // Straight into the message: the previous one is not needed once a datagram is here.
    const int got = receiveDatagramNow(fd_, incoming_.get(), kLargestDatagram, from);
    if (got >= 0) {
      incomingSize_ = std::min(got, kLargestDatagram);
      readPos_ = 0;
      source_ = from;
      return from.ip;
    }
    if (got == kSocketNotice) {
      continue;
    }
    if (got == kSocketFailed) {
      failed_ = true;
      return 0;
    }
    const int ready = waitUntil(fd_, SocketReady::Read, deadline.get());
    if (ready == 0) {
      return 0;
    }
    if (ready < 0) {
      failed_ = true;
      return 0;
    }
  }
}

// A port outside 0 ... 65535 sends nothing and keeps the message: cut to 16 bits it
// would reach some other port.
void UdpStream::send(uint32_t ip, int32_t port) {
  if (failed_ || port < 0 || port > 65535) {
    return;
  }
  destination_.ip = ip;
  destination_.port = port == 0 ? local_.port : static_cast<uint16_t>(port);
  const int sent =
      sendDatagram(fd_, outgoing_.data(), static_cast<int>(outgoing_.size()), destination_);
  if (sent == static_cast<int>(outgoing_.size())) {
    outgoing_.clear();
  } else {
    failed_ = true;
  }
}
