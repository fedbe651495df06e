// TCP and UDP streams against peers that are not ours: socat and nc (netcat-openbsd)
// run as child processes on loopback. Each case skips when its program is missing.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <fstream>
#include <string>

#include "basic/ks_str.h"
#include "streams/sockets_commands.h"
#include "streams/stream_commands.h"
#include "tests/streams/net_test_support.h"

using namespace netcmd;
using namespace nettest;

namespace {

class ForeignPeers : public SocketsTest {
 protected:
  void SetUp() override {
    SocketsTest::SetUp();
    char pattern[] = "/tmp/ks_peers_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir = pattern;
  }
  void TearDown() override {
    std::system(("rm -rf " + dir).c_str());
    SocketsTest::TearDown();
  }
  std::string file(const std::string& name, const std::string& bytes) {
    const std::string path = dir + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  std::string read(const std::string& name) {
    std::ifstream in(dir + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // Connects once the foreign server listens.
  static int32_t connectWhenListening(uint16_t port) {
    if (!eventually([&] { return portInUse(port, false); })) {
      return 0;
    }
    return openTCPStream(str("127.0.0.1"), port, 0);
  }
  std::string dir;
};

#define REQUIRE_PROGRAM(name)                         \
  if (!haveProgram(name)) {                           \
    GTEST_SKIP() << name << " is not installed here"; \
  }

std::string take(ksStr* s) { return ksStrTake(s); }

TEST_F(ForeignPeers, SocatSendingTwoBytesThenNothingGivesAShortReadAndTimeout) {
  REQUIRE_PROGRAM("socat");
  const std::string script = file("peer.sh", "cat " + file("two.bin", "\x34\x12") + "\nsleep 60\n");
  const uint16_t port = freePort();
  ForeignPeer peer({"socat", "TCP-LISTEN:" + std::to_string(port) + ",bind=127.0.0.1,reuseaddr",
                    "EXEC:/bin/sh " + script});
  const int32_t stream = connectWhenListening(port);
  ASSERT_NE(stream, 0);
  tcpTimeouts(1500, 0);
  EXPECT_EQ(streamcmd::readInt(stream), 4660);
  EXPECT_EQ(streamcmd::eof(stream), -1);
  closeTCPStream(stream);
}

TEST_F(ForeignPeers, NcClosingAfterItsLinesEndsTheStream) {
  REQUIRE_PROGRAM("nc");
  const uint16_t port = freePort();
  const std::string input = file("lines.txt", "first\r\nsecond\nthird");
  ForeignPeer peer({"sh", "-c", "exec nc -N -l 127.0.0.1 " + std::to_string(port) + " < " + input});
  const int32_t stream = connectWhenListening(port);
  ASSERT_NE(stream, 0);
  EXPECT_EQ(take(streamcmd::readLine(stream)), "first");
  EXPECT_EQ(take(streamcmd::readLine(stream)), "second");
  EXPECT_EQ(take(streamcmd::readLine(stream)), "third");
  EXPECT_TRUE(eventually([&] { return streamcmd::eof(stream) == 1; }));
  EXPECT_EQ(streamcmd::readByte(stream), 0);
}

TEST_F(ForeignPeers, OurServerTakesWhatASocatClientSends) {
  REQUIRE_PROGRAM("socat");
  const uint16_t port = freePort();
  const int32_t server = createTCPServer(port);
  ASSERT_NE(server, 0);
  const std::string payload =
      file("payload.bin", std::string("\x05\x00\x00\x00hello\xFE\xFF\xFF\xFF", 13));
  ForeignPeer peer({"socat", "-u", "OPEN:" + payload, "TCP:127.0.0.1:" + std::to_string(port)});
  tcpTimeouts(20000, 20000);
  const int32_t stream = acceptTCPStream(server);
  ASSERT_NE(stream, 0);
  EXPECT_EQ(tcpStreamIP(stream), static_cast<int32_t>(kLoopback));
  EXPECT_NE(tcpStreamPort(stream), 0);
  EXPECT_EQ(take(streamcmd::readString(stream)), "hello");
  EXPECT_EQ(streamcmd::readInt(stream), -2);
  EXPECT_TRUE(eventually([&] { return streamcmd::eof(stream) == 1; }));
  EXPECT_EQ(peer.wait(), 0);
}

TEST_F(ForeignPeers, ClosingOurServerEndsBothSocatClients) {
  REQUIRE_PROGRAM("socat");
  const uint16_t port = freePort();
  const int32_t server = createTCPServer(port);
  ASSERT_NE(server, 0);
  ForeignPeer first(
      {"socat", "-u", "TCP:127.0.0.1:" + std::to_string(port), "OPEN:" + dir + "/a.out,creat"});
  ForeignPeer second(
      {"socat", "-u", "TCP:127.0.0.1:" + std::to_string(port), "OPEN:" + dir + "/b.out,creat"});
  tcpTimeouts(20000, 20000);
  const int32_t a = acceptTCPStream(server);
  const int32_t b = acceptTCPStream(server);
  ASSERT_NE(a, 0);
  ASSERT_NE(b, 0);
  streamcmd::writeLine(a, str("to a"));
  streamcmd::writeLine(b, str("to b"));
  closeTCPServer(server);
  EXPECT_EQ(first.wait(), 0);
  EXPECT_EQ(second.wait(), 0);
  EXPECT_EQ(read("a.out") + read("b.out") == "to a\r\nto b\r\n" ||
                read("a.out") + read("b.out") == "to b\r\nto a\r\n",
            true);
  debugMode = true;
  EXPECT_EQ(errorOf([&] { tcpStreamIP(a); }), "TCP Stream does not exist");
  EXPECT_EQ(errorOf([&] { tcpStreamIP(b); }), "TCP Stream does not exist");
}

TEST_F(ForeignPeers, SocatEchoesThreeAndTwoByteDatagramsApart) {
  REQUIRE_PROGRAM("socat");
  const uint16_t port = freePort(SOCK_DGRAM);
  ForeignPeer echo(
      {"socat", "UDP-RECVFROM:" + std::to_string(port) + ",bind=127.0.0.1,fork", "PIPE"});
  ASSERT_TRUE(eventually([&] { return portInUse(port, true); }));
  const int32_t stream = createUDPStream(0);
  streamcmd::writeByte(stream, 'a');
  streamcmd::writeShort(stream, 'b' | ('c' << 8));
  sendUDPMsg(stream, static_cast<int32_t>(kLoopback), port);
  udpTimeouts(20000);
  ASSERT_EQ(recvUDPMsg(stream), static_cast<int32_t>(kLoopback));
  EXPECT_EQ(udpMsgPort(stream), port);
  EXPECT_EQ(streamcmd::readAvail(stream), 3);
  EXPECT_EQ(take(streamcmd::readLine(stream)), "abc");
  streamcmd::writeShort(stream, 'd' | ('e' << 8));
  sendUDPMsg(stream, static_cast<int32_t>(kLoopback), port);
  ASSERT_EQ(recvUDPMsg(stream), static_cast<int32_t>(kLoopback));
  EXPECT_EQ(streamcmd::readAvail(stream), 2);
  EXPECT_EQ(streamcmd::readShort(stream), 'd' | ('e' << 8));
  EXPECT_EQ(streamcmd::eof(stream), 1);
}

TEST_F(ForeignPeers, ATenByteDatagramFromNc) {
  REQUIRE_PROGRAM("nc");
  const int32_t stream = createUDPStream(0);
  const std::string input = file("ten.bin", std::string("\x2A\x00\x00\x00"
                                                        "abcdef",
                                                        10));
  ForeignPeer peer(
      {"sh", "-c",
       "exec nc -u -w 1 127.0.0.1 " + std::to_string(udpStreamPort(stream)) + " < " + input});
  udpTimeouts(20000);
  ASSERT_EQ(recvUDPMsg(stream), static_cast<int32_t>(kLoopback));
  EXPECT_NE(udpMsgPort(stream), udpStreamPort(stream));
  EXPECT_EQ(streamcmd::readAvail(stream), 10);
  EXPECT_EQ(streamcmd::readInt(stream), 42);
  EXPECT_EQ(streamcmd::readAvail(stream), 6);
  EXPECT_EQ(take(streamcmd::readLine(stream)), "abcdef");
  EXPECT_EQ(streamcmd::eof(stream), 1);
  // Nothing more comes: with time-out 0 the receive returns at once, the stream usable.
  udpTimeouts(0);
  EXPECT_EQ(recvUDPMsg(stream), 0);
  EXPECT_EQ(streamcmd::eof(stream), 1);
}

}  // namespace
