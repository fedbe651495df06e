// A `ksrun` peer running beside the test: started at once, its standard error collected
// into a file that the test can read while the peer runs, ended by itself or killed.
#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

class PeerProcess {
 public:
  PeerProcess(const std::vector<std::string>& argv, const std::vector<std::string>& environment);
  ~PeerProcess();  // kills a peer still running
  PeerProcess(const PeerProcess&) = delete;
  PeerProcess& operator=(const PeerProcess&) = delete;

  bool started() const { return pid_ > 0; }
  // What it has written to standard error so far.
  std::string log() const;
  // Polls the log until it holds `text`; false after timeoutMs.
  bool waitForLog(const std::string& text, int timeoutMs) const;
  // Waits for its exit; kills it after timeoutMs. The exit code, or -1.
  int wait(int timeoutMs);
  void kill();

 private:
  pid_t pid_ = -1;
  int exitCode_ = -1;
  std::string logPath_;
};

// A UDP port that was free a moment ago (bound to port 0 and released), for a test's
// own query port.
int freeUdpPort();
