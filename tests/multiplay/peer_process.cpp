#include "tests/multiplay/peer_process.h"

#include "tests/programs/process_runner.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

namespace {

int nowMs() {
  using namespace std::chrono;
  return int(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace

PeerProcess::PeerProcess(const std::vector<std::string>& argv, const std::vector<std::string>& environment) {
  char pattern[] = "/tmp/kestrel-peer-XXXXXX";
  const int fd = mkstemp(pattern);
  if (fd < 0) {
    return;
  }
  logPath_ = pattern;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fd, 2);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const pid_t pid = spawnProcess(argv, environment, &actions);
  if (pid > 0) {
    pid_ = pid;
  }
  posix_spawn_file_actions_destroy(&actions);
  close(fd);
}

PeerProcess::~PeerProcess() {
  kill();
  if (!logPath_.empty()) {
    unlink(logPath_.c_str());
  }
}

std::string PeerProcess::log() const {
  std::ifstream in(logPath_, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool PeerProcess::waitForLog(const std::string& text, int timeoutMs) const {
  const int start = nowMs();
  while (nowMs() - start < timeoutMs) {
    if (log().find(text) != std::string::npos) {
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return log().find(text) != std::string::npos;
}

int PeerProcess::wait(int timeoutMs) {
  const int start = nowMs();
  while (pid_ > 0) {
    int status = 0;
    const pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      pid_ = -1;
      break;
    }
    if (nowMs() - start >= timeoutMs) {
      kill();
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return exitCode_;
}

void PeerProcess::kill() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    exitCode_ = -1;
  }
}

int freeUdpPort() {
  const int s = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t size = sizeof address;
  int port = 0;
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(s, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
    port = ntohs(address.sin_port);
  }
  close(s);
  return port;
}
