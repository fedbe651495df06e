// The session layer against hostile input: every truncation of a query answer is refused,
// and a seeded fuzz run sends random and truncated datagrams to a running session's ports
// and malformed packets through a real connection. The session goes on: it answers
// queries, takes a new peer, delivers the next real message, and invents none.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <random>

#include "platform/net_session.h"
#include "tests/multiplay/peer_process.h"

namespace {

constexpr uint32_t kSeed = 20261209;

class NetSessionTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("KS_NETPLAY_QUERY_PORT", std::to_string(freeUdpPort()).c_str(), 1); }
  void TearDown() override { unsetenv("KS_NETPLAY_QUERY_PORT"); }

  static std::unique_ptr<NetSession> joinOnThisComputer(const std::string& name) {
    for (const SessionListing& l : findSessions(QueryTarget::ThisComputer, "", 1500)) {
      if (l.name == name) {
        return NetSession::join(l);
      }
    }
    return nullptr;
  }

  // Everything waiting in the queue, as "notice N" or "data FROM SIZE".
  static std::vector<std::string> drain(NetSession& s, int waitMs) {
    std::vector<std::string> got;
    uint8_t buffer[4096];
    while (s.waitForMessage(waitMs)) {
      SessionReceived r;
      if (s.receive(buffer, sizeof buffer, r) != ReceiveStatus::Message) {
        break;
      }
      got.push_back(r.notice != SessionNotice::None ? "notice " + std::to_string(uint32_t(r.notice))
                                                    : "data " + std::to_string(r.from) + " " + std::to_string(r.size));
    }
    return got;
  }
};

TEST(SessionQueryPackets, EveryTruncationOrForeignNonceIsRefused) {
  SessionListing l;
  l.name = "game";
  l.instance[3] = 7;
  l.port = 4000;
  l.players = 2;
  const std::vector<uint8_t> answer = encodeAnswer(99, l);
  ASSERT_TRUE(parseAnswer(answer.data(), answer.size(), 99));
  EXPECT_EQ(parseAnswer(answer.data(), answer.size(), 99)->name, "game");
  EXPECT_FALSE(parseAnswer(answer.data(), answer.size(), 98));
  for (size_t n = 0; n < answer.size(); ++n) {
    EXPECT_FALSE(parseAnswer(answer.data(), n, 99)) << n;
  }
  std::vector<uint8_t> longer = answer;
  longer.push_back(0);
  EXPECT_FALSE(parseAnswer(longer.data(), longer.size(), 99));
  const std::vector<uint8_t> query = encodeQuery(5);
  EXPECT_EQ(parseQuery(query.data(), query.size()), std::optional<uint32_t>(5));
  for (size_t n = 0; n < query.size(); ++n) {
    EXPECT_FALSE(parseQuery(query.data(), n));
  }
  EXPECT_FALSE(parseQuery(answer.data(), answer.size()));
}

TEST_F(NetSessionTest, ReceiveSaysWhenTheBufferIsTooSmallAndKeepsTheMessage) {
  auto host = NetSession::host("buffers");
  ASSERT_NE(host, nullptr);
  const uint32_t a = host->createPlayer("a");
  const uint32_t b = host->createPlayer("b");
  const std::vector<uint8_t> bytes(100, 'q');
  ASSERT_TRUE(host->send(a, b, true, bytes.data(), bytes.size()));
  uint8_t small[10];
  SessionReceived r;
  EXPECT_EQ(host->receive(small, sizeof small, r), ReceiveStatus::BufferTooSmall);
  EXPECT_EQ(r.size, 100u);
  uint8_t big[100];
  EXPECT_EQ(host->receive(big, sizeof big, r), ReceiveStatus::Message);
  EXPECT_EQ(r.from, a);
  EXPECT_EQ(r.to, b);
  EXPECT_EQ(host->receive(big, sizeof big, r), ReceiveStatus::NoMessage);
  EXPECT_FALSE(host->send(b, 0x12340001, true, bytes.data(), bytes.size()));  // unknown addressee
  EXPECT_NE(a, 0u);
  EXPECT_NE(a, b);
}

TEST_F(NetSessionTest, SeededFuzzNeitherStopsTheSessionNorInventsMessages) {
  auto host = NetSession::host("fuzz target");
  ASSERT_NE(host, nullptr);
  const uint32_t hostPlayer = host->createPlayer("h");
  auto joiner = joinOnThisComputer("fuzz target");
  ASSERT_NE(joiner, nullptr);
  const uint32_t joinerPlayer = joiner->createPlayer("j");
  ASSERT_EQ(drain(*host, 3000), std::vector<std::string>{"notice 3"});

  std::mt19937 random(kSeed);
  auto bytes = [&random](size_t n) {
    std::vector<uint8_t> b(n);
    for (uint8_t& x : b) {
      x = uint8_t(random());
    }
    return b;
  };

  // Raw datagrams at the session's port and the query port: random, and cut or bent
  // copies of a real query.
  const int s = socket(AF_INET, SOCK_DGRAM, 0);
  ASSERT_GE(s, 0);
  const uint16_t ports[2] = {host->port(), sessionQueryPort()};
  const std::vector<uint8_t> query = encodeQuery(1);
  for (int i = 0; i < 3000; ++i) {
    std::vector<uint8_t> d;
    switch (random() % 3) {
      case 0: d = bytes(random() % 700); break;
      case 1: d.assign(query.begin(), query.begin() + long(random() % query.size())); break;
      default:
        d = query;
        d[random() % d.size()] ^= uint8_t(1 + random() % 255);
        break;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(ports[random() % 2]);
    sendto(s, d.data(), d.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
  }
  close(s);

  // Malformed packets through the joiner's real connection: random kinds and contents,
  // packets cut short, players and senders that are not the joiner's.
  for (int i = 0; i < 600; ++i) {
    std::vector<uint8_t> p;
    const uint8_t kind = uint8_t(random() % 10);
    switch (random() % 3) {
      case 0:
        p = bytes(random() % 64);
        break;
      case 1:  // a data packet cut inside its header
        p = bytes(random() % 9);
        if (!p.empty()) {
          p[0] = 8;
        }
        break;
      default:  // a well-formed packet about a player that is not the joiner's
        p = {kind, 0, 0, 0, 0};
        p[1] = uint8_t(hostPlayer);
        p[3] = uint8_t(hostPlayer >> 16);
        if (kind == 8) {
          for (const int b : {0, 0, 0, 0, int('x')}) {
            p.push_back(uint8_t(b));
          }
        }
        break;
    }
    joiner->sendRawForTest(p, random() % 2 == 0);
  }

  // Nothing above may reach the queue; the next real message does, alone.
  const std::vector<uint8_t> real = {'r', 'e', 'a', 'l'};
  ASSERT_TRUE(joiner->send(joinerPlayer, 0, true, real.data(), real.size()));
  EXPECT_EQ(drain(*host, 3000), std::vector<std::string>{"data " + std::to_string(joinerPlayer) + " 4"});

  // The session still answers and still takes a peer.
  auto third = joinOnThisComputer("fuzz target");
  ASSERT_NE(third, nullptr);
  EXPECT_EQ(third->players().size(), 2u);
  EXPECT_TRUE(host->isHost());
}

TEST_F(NetSessionTest, UnguaranteedMessageNeverOutrunsItsSendersCreation) {
  auto host = NetSession::host("order");
  ASSERT_NE(host, nullptr);
  auto joiner = joinOnThisComputer("order");
  ASSERT_NE(joiner, nullptr);
  const uint8_t bytes[3] = {1, 2, 3};
  std::vector<std::string> players;  // "data <id> 3" of each player, in creation order
  for (int i = 0; i < 20; ++i) {
    const uint32_t player = joiner->createPlayer("p" + std::to_string(i));
    ASSERT_TRUE(joiner->send(player, 0, false, bytes, sizeof bytes));
    players.push_back("data " + std::to_string(player) + " 3");
  }
  // Every creation is guaranteed; an unguaranteed message may be lost (ENet drops them
  // when the round trip swings), but one that arrives comes after its sender's creation.
  std::vector<std::string> got;
  size_t notices = 0;
  for (int i = 0; i < 100 && notices < players.size(); ++i) {
    for (const std::string& m : drain(*host, 500)) {
      got.push_back(m);
      notices += m == "notice 3";
    }
  }
  const std::vector<std::string> late = drain(*host, 500);
  got.insert(got.end(), late.begin(), late.end());
  EXPECT_EQ(std::count(got.begin(), got.end(), "notice 3"), long(players.size()));
  size_t created = 0;
  for (const std::string& m : got) {
    if (m == "notice 3") {
      ++created;
      continue;
    }
    const auto sender = std::find(players.begin(), players.end(), m);
    ASSERT_NE(sender, players.end()) << "unexpected " << m;
    EXPECT_LT(size_t(sender - players.begin()), created) << m << " came before its sender's creation";
    EXPECT_EQ(std::count(got.begin(), got.end(), m), 1) << m;
  }
}

TEST_F(NetSessionTest, JoinRefusedForAnotherInstanceAndQueryWithoutAddress) {
  auto host = NetSession::host("real");
  ASSERT_NE(host, nullptr);
  SessionListing forged;
  forged.name = "real";
  forged.ip = htonl(INADDR_LOOPBACK);
  forged.port = host->port();
  forged.instance[0] = 1;  // not the session's instance
  EXPECT_EQ(NetSession::join(forged), nullptr);
  EXPECT_EQ(SessionQuery::start(QueryTarget::Address, ""), nullptr);  // no address to ask
}

}  // namespace
