// Two and three peers in separate ksrun processes on loopback, each test with a query port
// of its own: joins reported once each, message types as signed bytes, local senders
// never reported, a long message, host migration reported once, the session lost.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "tests/multiplay/peer_process.h"

namespace {

const std::string kBin = KS_BIN_DIR;
const std::string kPrograms = KS_PROGRAM_DIR;
constexpr int kLongMs = 150000;

std::unique_ptr<PeerProcess> peer(const std::string& program, int port, const std::string& argument = "",
                                  const std::string& endAfter = "") {
  std::vector<std::string> argv = {kBin + "/ksrun"};
  if (!endAfter.empty()) {
    argv.push_back("--end-after");
    argv.push_back(endAfter);
  }
  argv.push_back(kPrograms + "/" + program + ".ksm");
  if (!argument.empty()) {
    argv.push_back(argument);
  }
  return std::make_unique<PeerProcess>(argv, std::vector<std::string>{"KS_NETPLAY_QUERY_PORT=" + std::to_string(port)});
}

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

size_t count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++n;
  }
  return n;
}

TEST(TwoPeers, JoinsMessagesAndHostMigration) {
  const int port = freeUdpPort();
  auto host = peer("mp_host", port);
  auto joiner = peer("mp_join", port);
  ASSERT_TRUE(host->started() && joiner->started());
  EXPECT_EQ(joiner->wait(kLongMs), 0) << joiner->log();
  EXPECT_EQ(host->wait(kLongMs), 0) << host->log();
  const std::string h = host->log();
  const std::string j = joiner->log();

  EXPECT_TRUE(has(h, "[log] host 2\n")) << h;
  EXPECT_TRUE(has(h, "[log] local 11\n")) << h;
  EXPECT_TRUE(has(h, "[log] joined carol\n")) << h;
  EXPECT_TRUE(has(h, "[log] sent 1\n")) << h;
  EXPECT_TRUE(has(h, "[log] long 1\n")) << h;
  EXPECT_TRUE(has(h, "[log] recv 11 carol <all> 3 bye\n")) << h;
  // Messages from this machine's own players never come back, whoever they were sent to.
  EXPECT_FALSE(has(h, "recv 5 ")) << h;
  EXPECT_FALSE(has(h, "recv 6 ")) << h;

  // The players already there are joins, once each, then there is nothing.
  EXPECT_TRUE(has(j, "[log] join 1\n[log] recv 100 alice <all> 0\n[log] r1 1\n[log] r2 1\n"
                     "[log] recv 100 bob <all> 0\n[log] r3 0\n[log] empty 0 -1\n")) << j;
  EXPECT_TRUE(has(j, "[log] carol local 1\n")) << j;
  EXPECT_TRUE(has(j, "[log] recv 7 alice <all> 5 hello\n")) << j;
  EXPECT_TRUE(has(j, "[log] recv 44 alice <all> 13 three hundred\n")) << j;
  EXPECT_TRUE(has(j, "[log] recv -56 alice <all> 11 two hundred\n")) << j;
  EXPECT_TRUE(has(j, "[log] recv 6 bob <all> 12 local to all\n")) << j;
  EXPECT_TRUE(has(j, "[log] recv 8 alice carol 2000\n")) << j;
  EXPECT_TRUE(has(j, "[log] recv 10 alice <all> 13 end of script\n")) << j;
  EXPECT_FALSE(has(j, "zero")) << j;
  EXPECT_FALSE(has(j, "wrapped")) << j;
  EXPECT_FALSE(has(j, "recv 5 ")) << j;  // bob to alice: not for this machine
  // The host's departure: its players leave, and this machine becomes host, once.
  EXPECT_TRUE(has(j, "[log] recv 101 <unknown> <all> 0\n")) << j;
  EXPECT_EQ(count(j, "recv 101 "), 2u) << j;
  EXPECT_EQ(count(j, "recv 102 "), 1u) << j;
  EXPECT_TRUE(has(j, "[log] became host\n")) << j;
  EXPECT_TRUE(has(j, "[log] done\n")) << j;
}

TEST(ThreePeers, OldestPeerTakesOverOnceAndThenTheNext) {
  const int port = freeUdpPort();
  auto host = peer("mp_host3", port);
  auto first = peer("mp_join3", port, "dave");
  ASSERT_TRUE(first->waitForLog("[log] player created", kLongMs)) << first->log() << host->log();
  auto second = peer("mp_join3", port, "erin");
  EXPECT_EQ(host->wait(kLongMs), 0) << host->log();
  EXPECT_EQ(first->wait(kLongMs), 0) << first->log();
  EXPECT_EQ(second->wait(kLongMs), 0) << second->log();
  const std::string a = first->log();
  const std::string b = second->log();
  // The first joiner is the oldest peer left: it takes over, is told once, and the
  // second learns of nothing but departures until the first leaves too.
  EXPECT_EQ(count(a, "recv 102 "), 1u) << a;
  EXPECT_TRUE(has(a, "[log] host notices 1\n")) << a;
  EXPECT_TRUE(has(b, "[log] recv 100 dave <all> 0\n")) << b;
  EXPECT_TRUE(has(b, "[log] recv 12 alice <all> 2 go\n")) << b;
  EXPECT_EQ(count(b, "recv 102 "), 1u) << b;
  const size_t daveLeft = b.find("recv 101 ", b.find("recv 12 "));
  ASSERT_NE(daveLeft, std::string::npos) << b;
  EXPECT_LT(b.find("recv 101 "), b.find("recv 102 ")) << b;
}

TEST(TwoPeers, HostThatVanishesLosesTheSession) {
  const int port = freeUdpPort();
  auto host = peer("mp_host_hang", port);
  auto joiner = peer("mp_join_lost", port);
  ASSERT_TRUE(host->waitForLog("[log] ready", kLongMs)) << host->log() << joiner->log();
  host->kill();
  EXPECT_EQ(joiner->wait(kLongMs), 0) << joiner->log();
  const std::string j = joiner->log();
  EXPECT_TRUE(has(j, "[log] recv 101 <unknown> <all> 0\n")) << j;
  EXPECT_TRUE(has(j, "[log] recv 200 <unknown> <all> 0\n")) << j;
  EXPECT_TRUE(has(j, "[log] session lost\n")) << j;
  EXPECT_FALSE(has(j, "recv 102 ")) << j;
}

TEST(SharedCursorExample, RunsBetweenTwoProcesses) {
  const int port = freeUdpPort();
  auto host = peer("shared_cursor", port, "", "60000");
  auto guest = peer("shared_cursor", port, "127.0.0.1", "60000");
  ASSERT_TRUE(guest->waitForLog("host joined", kLongMs)) << guest->log() << host->log();
  // Each sees the other's cursor move.
  EXPECT_TRUE(guest->waitForLog("Cursor positions received: ", kLongMs)) << guest->log();
  auto received = [](const std::string& log) {
    const size_t at = log.rfind("Cursor positions received: ");
    return at == std::string::npos ? 0 : std::atoi(log.c_str() + at + 27);
  };
  for (int i = 0; i < 600 && (received(host->log()) == 0 || received(guest->log()) == 0); ++i) {
    usleep(100000);
  }
  EXPECT_GT(received(host->log()), 0) << host->log();
  EXPECT_GT(received(guest->log()), 0) << guest->log();
  EXPECT_TRUE(has(host->log(), "[log] guest joined\n")) << host->log();
}

}  // namespace
