// TCP streams and servers through the sockets commands on loopback, against plain
// sockets as peers: short reads and time-outs, closes and resets, servers and their
// accepted streams, and the module's destroy sweep.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "basic/ks_str.h"
#include "streams/bank_commands.h"
#include "streams/sockets_commands.h"
#include "streams/stream_commands.h"
#include "tests/streams/net_test_support.h"

using namespace netcmd;
using namespace nettest;

namespace {

using TcpTest = SocketsTest;
using TcpServerTest = SocketsTest;
using Clock = std::chrono::steady_clock;

std::string take(ksStr* s) { return ksStrTake(s); }

// Our stream connected to a plain peer socket.
struct Connection {
  int32_t stream = 0;
  int peer = -1;
  ~Connection() {
    if (peer >= 0) {
      ::close(peer);
    }
  }
};

void connectToPeer(Connection& c) {
  uint16_t port;
  const int listener = rawListen(port);
  c.stream = openTCPStream(str("127.0.0.1"), port, 0);
  c.peer = rawAccept(listener);
  ::close(listener);
  ASSERT_NE(c.stream, 0);
  ASSERT_GE(c.peer, 0);
}

TEST_F(TcpTest, AShortReadReturnsAfterTheTimeoutWithTheBytesThatCame) {
  Connection c;
  connectToPeer(c);
  tcpTimeouts(300, 0);
  rawSend(c.peer, "\x34\x12");
  const auto start = Clock::now();
  EXPECT_EQ(streamcmd::readInt(c.stream), 4660);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(250));
  EXPECT_EQ(streamcmd::eof(c.stream), -1);
  // Failed for good: later bytes are not read.
  rawSend(c.peer, "abcd");
  EXPECT_EQ(streamcmd::readInt(c.stream), 0);
  EXPECT_EQ(streamcmd::eof(c.stream), -1);
}

TEST_F(TcpTest, TimeoutZeroFailsAsSoonAsAByteIsNotWaiting) {
  Connection c;
  connectToPeer(c);
  tcpTimeouts(0, 0);
  rawSend(c.peer, std::string("\x05\x00\x00\x00", 4));
  ASSERT_TRUE(eventually([&] { return streamcmd::readAvail(c.stream) == 4; }));
  EXPECT_EQ(streamcmd::readInt(c.stream), 5);
  EXPECT_EQ(streamcmd::eof(c.stream), 0);
  EXPECT_EQ(streamcmd::readByte(c.stream), 0);
  EXPECT_EQ(streamcmd::eof(c.stream), -1);
}

TEST_F(TcpTest, APeerCloseWithNothingPendingIsTheEnd) {
  Connection c;
  connectToPeer(c);
  rawSend(c.peer, "line\r\n");
  ::shutdown(c.peer, SHUT_WR);
  ASSERT_TRUE(eventually([&] { return streamcmd::readAvail(c.stream) == 6; }));
  EXPECT_EQ(streamcmd::eof(c.stream), 0);  // bytes still waiting
  EXPECT_EQ(take(streamcmd::readLine(c.stream)), "line");
  EXPECT_EQ(streamcmd::eof(c.stream), 1);
  EXPECT_EQ(streamcmd::readInt(c.stream), 0);
  EXPECT_EQ(streamcmd::eof(c.stream), 1);
}

TEST_F(TcpTest, APeerThatClosesMidReadEndsTheReadAtOnce) {
  Connection c;
  connectToPeer(c);
  tcpTimeouts(60000, 0);
  rawSend(c.peer, "\x01\x02");
  ::close(c.peer);
  c.peer = -1;
  const auto start = Clock::now();
  EXPECT_EQ(streamcmd::readInt(c.stream), 0x0201);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(30));
  EXPECT_EQ(streamcmd::eof(c.stream), 1);
}

TEST_F(TcpTest, APeerThatResetsMidReadFailsTheStreamAtOnce) {
  Connection c;
  connectToPeer(c);
  tcpTimeouts(60000, 0);
  rawSend(c.peer, "\x01\x02");
  ASSERT_TRUE(eventually([&] { return streamcmd::readAvail(c.stream) == 2; }));
  EXPECT_EQ(streamcmd::readShort(c.stream), 0x0201);
  rawReset(c.peer);
  c.peer = -1;
  const auto start = Clock::now();
  EXPECT_EQ(streamcmd::readInt(c.stream), 0);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(30));
  EXPECT_EQ(streamcmd::eof(c.stream), -1);
}

TEST_F(TcpTest, WritingToAResetPeerFailsTheStreamWithoutEndingTheProcess) {
  Connection c;
  connectToPeer(c);
  rawReset(c.peer);
  c.peer = -1;
  const int32_t bank = bankcmd::createBank(65536);
  bool failed = false;
  for (int i = 0; i < 50 && !failed; ++i) {
    bankcmd::writeBytes(bank, c.stream, 0, 65536);
    failed = streamcmd::eof(c.stream) == -1;
  }
  EXPECT_TRUE(failed);
  EXPECT_EQ(bankcmd::writeBytes(bank, c.stream, 0, 16), 0);
  bankcmd::freeBank(bank);
}

TEST_F(TcpTest, BanksTravelWholeBothWays) {
  Connection c;
  connectToPeer(c);
  const int32_t bank = bankcmd::createBank(200000);
  for (int i = 0; i < 200000; i += 4) {
    bankcmd::pokeInt(bank, i, i * 2654435761u);
  }
  // A thread echoes everything back, so sends larger than the socket buffers finish.
  std::thread echo([&] {
    const std::string bytes = rawReceive(c.peer, 200000);
    rawSend(c.peer, bytes);
  });
  EXPECT_EQ(bankcmd::writeBytes(bank, c.stream, 0, 200000), 200000);
  const int32_t back = bankcmd::createBank(200000);
  EXPECT_EQ(bankcmd::readBytes(back, c.stream, 0, 200000), 200000);
  echo.join();
  bool same = true;
  for (int i = 0; i < 200000 && same; i += 4) {
    same = bankcmd::peekInt(back, i) == bankcmd::peekInt(bank, i);
  }
  EXPECT_TRUE(same);
  bankcmd::freeBank(bank);
  bankcmd::freeBank(back);
}

TEST_F(TcpTest, ConnectingByNameAndFromAChosenLocalPort) {
  uint16_t port;
  const int listener = rawListen(port);
  const uint16_t local = freePort();
  const int32_t stream = openTCPStream(str("localhost"), port, local);
  ASSERT_NE(stream, 0);
  sockaddr_in peer{};
  socklen_t n = sizeof peer;
  const int accepted = ::accept(listener, reinterpret_cast<sockaddr*>(&peer), &n);
  EXPECT_EQ(ntohs(peer.sin_port), local);
  EXPECT_EQ(tcpStreamIP(stream), static_cast<int32_t>(kLoopback));
  EXPECT_EQ(tcpStreamPort(stream), port);
  ::close(accepted);
  ::close(listener);
}

TEST_F(TcpTest, ConnectionsThatCannotBeMadeGiveNoStream) {
  EXPECT_EQ(openTCPStream(str("127.0.0.1"), freePort(), 0), 0);
  EXPECT_EQ(openTCPStream(str("127.0.0.1"), 70000, 0), 0);
  EXPECT_EQ(openTCPStream(str(""), 80, 0), 0);
  uint16_t port;
  const int listener = rawListen(port);
  EXPECT_EQ(openTCPStream(str("127.0.0.1"), port, -3), 0);
  ::close(listener);
}

TEST_F(TcpServerTest, AcceptReturnsAtOnceWithTimeoutZeroAndWaitsOtherwise) {
  const uint16_t port = freePort();
  const int32_t server = createTCPServer(port);
  ASSERT_NE(server, 0);
  const auto start = Clock::now();
  EXPECT_EQ(acceptTCPStream(server), 0);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
  const int client = rawConnect(port);
  ASSERT_GE(client, 0);
  tcpTimeouts(10000, 20000);
  const int32_t stream = acceptTCPStream(server);
  ASSERT_NE(stream, 0);
  EXPECT_EQ(tcpStreamIP(stream), static_cast<int32_t>(kLoopback));
  EXPECT_EQ(tcpStreamPort(stream), portOf(client));
  streamcmd::writeString(stream, str("hello"));
  EXPECT_EQ(rawReceive(client, 9), std::string("\x05\x00\x00\x00hello", 9));
  ::close(client);
}

TEST_F(TcpServerTest, AConnectionResetBeforeItIsTakenLeavesTheServerWorking) {
  const uint16_t port = freePort();
  const int32_t server = createTCPServer(port);
  const int early = rawConnect(port);
  rawReset(early);
  tcpTimeouts(10000, 300);
  acceptTCPStream(server);  // the reset connection may or may not still be offered
  const int client = rawConnect(port);
  tcpTimeouts(10000, 20000);
  int32_t stream = acceptTCPStream(server);
  if (stream != 0 && tcpStreamPort(stream) != portOf(client)) {
    stream = acceptTCPStream(server);
  }
  ASSERT_NE(stream, 0);
  EXPECT_EQ(tcpStreamPort(stream), portOf(client));
  ::close(client);
}

TEST_F(TcpServerTest, ClosingAServerClosesTheStreamsItAccepted) {
  const uint16_t port = freePort();
  const int32_t server = createTCPServer(port);
  const int a = rawConnect(port);
  const int b = rawConnect(port);
  tcpTimeouts(10000, 20000);
  const int32_t first = acceptTCPStream(server);
  const int32_t second = acceptTCPStream(server);
  ASSERT_NE(first, 0);
  ASSERT_NE(second, 0);
  // A stream closed by the program before the server leaves its accepted set.
  const int c = rawConnect(port);
  const int32_t third = acceptTCPStream(server);
  closeTCPStream(third);
  closeTCPServer(server);
  EXPECT_EQ(rawReceive(a, 1, 20000), "");  // the peers see the end
  EXPECT_EQ(rawReceive(b, 1, 20000), "");
  EXPECT_FALSE(portInUse(port, false));
  debugMode = true;
  EXPECT_EQ(errorOf([&] { tcpStreamIP(first); }), "TCP Stream does not exist");
  EXPECT_EQ(errorOf([&] { tcpStreamPort(second); }), "TCP Stream does not exist");
  EXPECT_EQ(errorOf([&] { streamcmd::readByte(first); }), "Stream does not exist");
  EXPECT_EQ(errorOf([&] { closeTCPServer(server); }), "TCP Server does not exist");
  EXPECT_EQ(errorOf([&] { acceptTCPStream(server); }), "TCP Server does not exist");
  debugMode = false;
  closeTCPServer(server);
  EXPECT_EQ(acceptTCPStream(server), 0);
  ::close(a);
  ::close(b);
  ::close(c);
}

TEST_F(TcpServerTest, ServersOnTakenOrInvalidPortsAreNotMade) {
  const uint16_t port = freePort();
  const int32_t server = createTCPServer(port);
  ASSERT_NE(server, 0);
  EXPECT_EQ(createTCPServer(port), 0);
  EXPECT_EQ(createTCPServer(65536), 0);
  EXPECT_EQ(createTCPServer(-80), 0);
}

TEST_F(TcpTest, DestroyingTheModuleClosesStreamsThenServers) {
  const uint16_t port = freePort();
  const int32_t server = createTCPServer(port);
  const int32_t client = openTCPStream(str("127.0.0.1"), port, 0);
  tcpTimeouts(10000, 20000);
  const int32_t accepted = acceptTCPStream(server);
  ASSERT_NE(client, 0);
  ASSERT_NE(accepted, 0);
  sockets_destroy();
  EXPECT_FALSE(portInUse(port, false));
  debugMode = true;
  EXPECT_EQ(errorOf([&] { streamcmd::eof(client); }), "Stream does not exist");
  EXPECT_EQ(errorOf([&] { streamcmd::eof(accepted); }), "Stream does not exist");
  debugMode = false;
  ASSERT_TRUE(sockets_create());
  const int32_t again = createTCPServer(port);
  ASSERT_NE(again, 0);
  // The accept time-out is back to 0: no wait.
  const auto start = Clock::now();
  EXPECT_EQ(acceptTCPStream(again), 0);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
}

}  // namespace
