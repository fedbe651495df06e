// Loopback helpers for the socket tests: plain POSIX sockets as peers that are not
// ours, foreign programs (socat, nc) started as child processes, and a fixture that
// creates the sockets module around each test.
#pragma once
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "basic/ks_error.h"
#include "basic/ks_str.h"
#include "runtime/modules.h"

extern char** environ;

namespace nettest {

constexpr uint32_t kLoopback = 0x7F000001;

inline std::string errorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const ksEx& e) {
    return e.message ? e.message : "(silent)";
  }
  return "(no error)";
}

inline ksStr* str(const std::string& text) { return ksStrNew(text); }

inline sockaddr_in loopback(uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(kLoopback);
  a.sin_port = htons(port);
  return a;
}

inline uint16_t portOf(int fd) {
  sockaddr_in a{};
  socklen_t n = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
  return ntohs(a.sin_port);
}

// A port nobody listens on now (the system's pick, released at once).
inline uint16_t freePort(int type = SOCK_STREAM) {
  const int fd = ::socket(AF_INET, type, 0);
  sockaddr_in a = loopback(0);
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  const uint16_t port = portOf(fd);
  ::close(fd);
  return port;
}

// A plain TCP listener on loopback; its port in port.
inline int rawListen(uint16_t& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a = loopback(0);
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  ::listen(fd, 8);
  port = portOf(fd);
  return fd;
}

inline int rawConnect(uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a = loopback(port);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Accepts within a generous time, or -1.
inline int rawAccept(int listener, int millis = 20000) {
  pollfd p{listener, POLLIN, 0};
  if (::poll(&p, 1, millis) != 1) {
    return -1;
  }
  return ::accept(listener, nullptr, nullptr);
}

inline void rawSend(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n <= 0) {
      return;
    }
    done += static_cast<size_t>(n);
  }
}

// Receives up to count bytes, waiting a generous time for them.
inline std::string rawReceive(int fd, size_t count, int millis = 20000) {
  std::string got;
  while (got.size() < count) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, millis) != 1) {
      break;
    }
    char buffer[4096];
    const ssize_t n = ::recv(fd, buffer, std::min(sizeof buffer, count - got.size()), 0);
    if (n <= 0) {
      break;
    }
    got.append(buffer, static_cast<size_t>(n));
  }
  return got;
}

// Closes with a reset instead of an orderly end.
inline void rawReset(int fd) {
  linger l{1, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
  ::close(fd);
}

inline int rawUdp(uint16_t& port) {
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in a = loopback(0);
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  port = portOf(fd);
  return fd;
}

inline void rawSendTo(int fd, uint16_t port, const std::string& bytes) {
  sockaddr_in a = loopback(port);
  ::sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
}

// One datagram within a generous time; nullopt-like empty flag in ok.
inline std::string rawReceiveFrom(int fd, bool& ok, int millis = 20000) {
  pollfd p{fd, POLLIN, 0};
  ok = false;
  if (::poll(&p, 1, millis) != 1) {
    return {};
  }
  std::string buffer(65536, '\0');
  const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
  if (n < 0) {
    return {};
  }
  ok = true;
  buffer.resize(static_cast<size_t>(n));
  return buffer;
}

// Polls until the condition holds or a generous deadline passes.
inline bool eventually(const std::function<bool()>& condition, int millis = 30000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(millis);
  while (std::chrono::steady_clock::now() < end) {
    if (condition()) {
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return condition();
}

// Whether something listens on (TCP) or is bound to (UDP) the port, from /proc.
inline bool portInUse(uint16_t port, bool udp) {
  for (const char* table : udp ? std::vector<const char*>{"/proc/net/udp"}
                               : std::vector<const char*>{"/proc/net/tcp"}) {
    std::ifstream in(table);
    std::string line;
    std::getline(in, line);
    char wanted[8];
    std::snprintf(wanted, sizeof wanted, ":%04X", port);
    while (std::getline(in, line)) {
      std::istringstream fields(line);
      std::string slot, local, remote, state;
      fields >> slot >> local >> remote >> state;
      if (local.size() >= 5 && local.compare(local.size() - 5, 5, wanted) == 0 &&
          (udp || state == "0A")) {
        return true;
      }
    }
  }
  return false;
}

// A program that is not ours, started with its arguments and ended (by the id of the
// process group it was started in) when the object goes.
class ForeignPeer {
 public:
  explicit ForeignPeer(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& a : argv) {
      args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    // A process group of its own, so that stop() also ends what the peer started.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    if (::posix_spawnp(&pid_, args[0], nullptr, &attributes, args.data(), environ) != 0) {
      pid_ = -1;
    }
    posix_spawnattr_destroy(&attributes);
  }
  ~ForeignPeer() { stop(); }
  bool started() const { return pid_ > 0; }
  // Waits for the program to end by itself; its exit status, or -1.
  int wait(int millis = 30000) {
    if (pid_ <= 0) {
      return -1;
    }
    int status = 0;
    const bool ended =
        eventually([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; }, millis);
    if (!ended) {
      return -1;
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  void stop() {
    if (pid_ > 0) {
      ::kill(-pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
  }

 private:
  pid_t pid_ = -1;
};

inline bool haveProgram(const char* name) {
  const std::string command = std::string("command -v ") + name + " >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

// The sockets module created around each test, debug mode off unless a test sets it.
class SocketsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    debugMode = false;
    ASSERT_TRUE(sockets_create());
  }
  void TearDown() override {
    sockets_destroy();
    debugMode = false;
  }
};

}  // namespace nettest
