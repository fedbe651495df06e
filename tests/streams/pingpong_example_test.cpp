// The ping-pong example end to end: a server and a player, two runs of ksrun that talk
// over TCP and UDP on loopback.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "tests/programs/process_runner.h"
#include "tests/streams/net_test_support.h"

namespace {

ProcessResult runPingPong(const std::string& role, uint16_t port) {
  return runProcess({std::string(KS_BIN_DIR) + "/ksrun",
                     std::string(KS_PROGRAM_DIR) + "/pingpong.ksm", role, std::to_string(port)});
}

TEST(PingPongExample, TwoRunsOfKsrunPlayOverTcpAndUdp) {
  // Both protocols use the same port number.
  uint16_t port = 0;
  for (int i = 0; i < 20 && port == 0; ++i) {
    const uint16_t candidate = nettest::freePort();
    if (!nettest::portInUse(candidate, true)) {
      port = candidate;
    }
  }
  ASSERT_NE(port, 0);
  ProcessResult server;
  std::thread serving([&] { server = runPingPong("serve", port); });
  const ProcessResult player = runPingPong("join", port);
  serving.join();
  EXPECT_EQ(player.exitCode, 0) << player.err;
  EXPECT_EQ(server.exitCode, 0) << server.err;
  for (const char* line : {"TCP reply: pong 1", "TCP reply: pong 3", "UDP reply: 10",
                           "UDP reply: 30", "Player done"}) {
    EXPECT_NE(player.err.find(line), std::string::npos) << line << " missing from:\n" << player.err;
  }
  for (const char* line :
       {"Player connected from 127.0.0.1", "TCP got: ping 2", "UDP got: 3", "Server done"}) {
    EXPECT_NE(server.err.find(line), std::string::npos) << line << " missing from:\n" << server.err;
  }
}

}  // namespace
