#include "tools/ksrun/run_ender.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>

namespace {

int signalFd = -1;

sigset_t stopSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}

// In a child forked by ExecFile: the program it starts gets the usual signals.
void unblockInChild() {
  const sigset_t set = stopSignals();
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

// How often an end is asked again once it is due: a request made before the run has
// started (or while it starts) is not seen by the runtime.
constexpr int kRepeatMs = 20;

}  // namespace

bool RunEnder::catchStopSignals() {
  if (signalFd >= 0) {
    return true;
  }
  const sigset_t set = stopSignals();
  if (pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0 ||
      pthread_atfork(nullptr, nullptr, unblockInChild) != 0) {
    return false;
  }
  signalFd = signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
  return signalFd >= 0;
}

RunEnder::RunEnder(Runtime& runtime, int endAfterMs) : runtime_(runtime) {
  if (pipe2(finished_, O_CLOEXEC) != 0) {
    finished_[0] = finished_[1] = -1;
  }
  thread_ = std::thread([this, endAfterMs] { watch(endAfterMs); });
}

void RunEnder::finish() {
  if (!thread_.joinable()) {
    return;
  }
  done_.store(true);
  if (finished_[1] >= 0) {
    close(finished_[1]);  // the thread sees the pipe's end
    finished_[1] = -1;
  }
  thread_.join();
  if (finished_[0] >= 0) {
    close(finished_[0]);
    finished_[0] = -1;
  }
}

void RunEnder::watch(int endAfterMs) {
  using Clock = std::chrono::steady_clock;
  using std::chrono::milliseconds;
  const Clock::time_point deadline = Clock::now() + milliseconds(endAfterMs < 0 ? 0 : endAfterMs);
  bool ending = false;
  while (!done_.load()) {
    int timeout = finished_[0] < 0 ? kRepeatMs : -1;
    if (ending) {
      timeout = kRepeatMs;
    } else if (endAfterMs >= 0) {
      const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
      timeout = left <= 0 ? 0 : (timeout < 0 || left < timeout ? int(left) : timeout);
    }
    pollfd fds[2] = {{finished_[0], POLLIN, 0}, {signalFd, POLLIN, 0}};
    const int ready = poll(fds, 2, timeout);
    if (ready < 0 && errno != EINTR) {
      return;
    }
    if (ready > 0 && fds[0].revents != 0) {
      return;  // the run has finished
    }
    signalfd_siginfo info{};
    if (ready > 0 && (fds[1].revents & POLLIN) && read(signalFd, &info, sizeof info) == sizeof info) {
      const int number = int(info.ssi_signo);
      if (signal_.load() != 0) {
        // A second stop signal: the program did not end on the first.
        std::fprintf(stderr, "ksrun: %s again, stopping at once\n", number == SIGINT ? "SIGINT" : "SIGTERM");
        _exit(128 + number);
      }
      signal_.store(number);
      ending = true;
    }
    if (endAfterMs >= 0 && Clock::now() >= deadline) {
      ending = true;  // the delay has passed
    }
    if (ending) {
      endRequested_.store(true);
      runtime_.requestEnd();
    }
  }
}
