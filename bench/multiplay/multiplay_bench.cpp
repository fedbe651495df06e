// Messages between two local processes: 32-byte ping-pongs through the session layer,
// reliable and unreliable, beside bare ENet doing the same in the same run; and the time
// from a host's exit to the new host's notice. The other process is a fork of this one.
#include <benchmark/benchmark.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

#include "bench/bench_ratio.h"
#include "platform/enet_baseline.h"
#include "platform/net_session.h"

namespace {

constexpr size_t kMessageSize = 32;

bool readable(int fd, int ms) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, ms) > 0;
}

// A forked peer: runs `body(readyFd, stopFd)` in the child; the parent reads what the
// child wrote to readyFd and ends it by closing stopFd.
class ForkedPeer {
 public:
  template <typename Body>
  explicit ForkedPeer(Body body) {
    int ready[2];
    int stop[2];
    if (pipe(ready) != 0 || pipe(stop) != 0) {
      return;
    }
    pid_ = fork();
    if (pid_ == 0) {
      close(ready[0]);
      close(stop[1]);
      body(ready[1], stop[0]);
      _exit(0);
    }
    close(ready[1]);
    close(stop[0]);
    readyFd_ = ready[0];
    stopFd_ = stop[1];
  }
  ~ForkedPeer() { stop(); }
  int readyFd() const { return readyFd_; }
  void stop() {
    if (pid_ > 0) {
      close(stopFd_);
      close(readyFd_);
      int status = 0;
      waitpid(pid_, &status, 0);
      pid_ = -1;
    }
  }

 private:
  pid_t pid_ = -1;
  int readyFd_ = -1;
  int stopFd_ = -1;
};

// The child's side: hosts a session and echoes every message to its sender; the first
// payload byte says whether it came guaranteed.
void echoSession(int readyFd, int stopFd) {
  std::unique_ptr<NetSession> session = NetSession::host("bench echo");
  if (!session) {
    return;
  }
  const uint32_t me = session->createPlayer("echo");
  const uint8_t ok = 1;
  if (write(readyFd, &ok, 1) != 1) {
    return;
  }
  uint8_t buffer[256];
  while (!readable(stopFd, 0)) {
    if (!session->waitForMessage(10)) {
      continue;
    }
    SessionReceived r;
    if (session->receive(buffer, sizeof buffer, r) == ReceiveStatus::Message && r.notice == SessionNotice::None) {
      session->send(me, r.from, buffer[0] != 0, buffer, r.size);
    }
  }
}

std::unique_ptr<NetSession> joinEcho(uint32_t& echoPlayer) {
  for (int tries = 0; tries < 20; ++tries) {
    for (const SessionListing& l : findSessions(QueryTarget::ThisComputer, "", 500)) {
      if (l.name == "bench echo") {
        std::unique_ptr<NetSession> s = NetSession::join(l);
        if (s) {
          for (const SessionPlayer& p : s->players()) {
            echoPlayer = p.id;
          }
          return s;
        }
      }
    }
  }
  return nullptr;
}

void setQueryPort() {
  // A port of this run's own, so that a session elsewhere on the machine does not answer.
  const std::string port = std::to_string(40000 + getpid() % 20000);
  setenv("KS_NETPLAY_QUERY_PORT", port.c_str(), 1);
}

void BM_SessionPingPong(benchmark::State& state) {
  const bool reliable = state.range(0) != 0;
  setQueryPort();
  ForkedPeer child(echoSession);
  uint8_t ok = 0;
  if (!readable(child.readyFd(), 60000) || read(child.readyFd(), &ok, 1) != 1) {
    state.SkipWithError("echo session did not start");
    return;
  }
  uint32_t echoPlayer = 0;
  std::unique_ptr<NetSession> session = joinEcho(echoPlayer);
  if (!session || echoPlayer == 0) {
    state.SkipWithError("could not join the echo session");
    return;
  }
  const uint32_t me = session->createPlayer("pinger");
  uint8_t message[kMessageSize] = {uint8_t(reliable ? 1 : 0)};
  uint8_t buffer[256];
  int64_t lost = 0;
  for (auto _ : state) {
    session->send(me, echoPlayer, reliable, message, sizeof message);
    bool back = false;
    while (!back && session->waitForMessage(1000)) {
      SessionReceived r;
      back = session->receive(buffer, sizeof buffer, r) == ReceiveStatus::Message && r.notice == SessionNotice::None;
    }
    lost += back ? 0 : 1;
  }
  state.counters["messages/s"] = benchmark::Counter(double(state.iterations()) * 2, benchmark::Counter::kIsRate);
  state.counters["lost"] = double(lost);
  session.reset();
}

void BM_BareEnetPingPong(benchmark::State& state) {
  const bool reliable = state.range(0) != 0;
  ForkedPeer child(runBareEnetEcho);
  uint8_t port[2];
  if (!readable(child.readyFd(), 60000) || read(child.readyFd(), port, 2) != 2) {
    state.SkipWithError("echo host did not start");
    return;
  }
  BareEnetClient client;
  if (!client.connect(uint16_t(port[0] | port[1] << 8))) {
    state.SkipWithError("could not connect");
    return;
  }
  int64_t lost = 0;
  for (auto _ : state) {
    lost += client.roundTrip(kMessageSize, reliable) ? 0 : 1;
  }
  state.counters["messages/s"] = benchmark::Counter(double(state.iterations()) * 2, benchmark::Counter::kIsRate);
  state.counters["lost"] = double(lost);
}

// The child hosts and leaves when told; the time runs from that moment to this peer's
// notice that it is now the host.
void BM_HostMigration(benchmark::State& state) {
  setQueryPort();
  for (auto _ : state) {
    ForkedPeer child([](int readyFd, int stopFd) {
      std::unique_ptr<NetSession> session = NetSession::host("bench echo");
      if (!session) {
        return;
      }
      session->createPlayer("leaver");
      const uint8_t ok = 1;
      if (write(readyFd, &ok, 1) != 1) {
        return;
      }
      while (!readable(stopFd, 20)) {
        session->waitForMessage(0);
      }
    });
    uint8_t ok = 0;
    if (!readable(child.readyFd(), 60000) || read(child.readyFd(), &ok, 1) != 1) {
      state.SkipWithError("host did not start");
      return;
    }
    uint32_t hostPlayer = 0;
    std::unique_ptr<NetSession> session = joinEcho(hostPlayer);
    if (!session) {
      state.SkipWithError("could not join");
      return;
    }
    const auto start = std::chrono::steady_clock::now();
    child.stop();
    bool migrated = false;
    uint8_t buffer[64];
    while (!migrated && session->waitForMessage(30000)) {
      SessionReceived r;
      if (session->receive(buffer, sizeof buffer, r) == ReceiveStatus::Message) {
        migrated = r.notice == SessionNotice::HostMigrated;
      }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(seconds);
    if (!migrated) {
      state.SkipWithError("no host notice");
      return;
    }
  }
}

BENCHMARK(BM_SessionPingPong)->Arg(1)->Arg(0)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_BareEnetPingPong)->Arg(1)->Arg(0)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_HostMigration)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  return runWithRatios(argc, argv,
                       {{"BM_SessionPingPong/1/min_time:1.000/real_time", "BM_BareEnetPingPong/1/min_time:1.000/real_time"},
                        {"BM_SessionPingPong/0/min_time:1.000/real_time", "BM_BareEnetPingPong/0/min_time:1.000/real_time"}});
}
