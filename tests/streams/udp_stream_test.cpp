// UDP streams through the sockets commands on loopback: addresses, datagram sizes,
// time-outs, replies to a stream's own port, and what hostile datagrams do.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "basic/ks_str.h"
#include "streams/sockets_commands.h"
#include "streams/stream_commands.h"
#include "tests/streams/net_test_support.h"

using namespace netcmd;
using namespace nettest;

namespace {

using UdpTest = SocketsTest;
using HostNames = SocketsTest;

std::string take(ksStr* s) { return ksStrTake(s); }

// Reads every byte left in the stream's message.
std::string rest(int32_t stream) {
  std::string bytes;
  while (streamcmd::eof(stream) == 0) {
    bytes.push_back(static_cast<char>(streamcmd::readByte(stream)));
  }
  return bytes;
}

// Receives with a generous time-out.
int32_t receive(int32_t stream) {
  udpTimeouts(20000);
  const int32_t from = recvUDPMsg(stream);
  udpTimeouts(0);
  return from;
}

TEST_F(HostNames, DottedIPWritesFourOctetsFromTheTop) {
  EXPECT_EQ(take(dottedIP(2130706433)), "127.0.0.1");
  EXPECT_EQ(take(dottedIP(-1)), "255.255.255.255");
  EXPECT_EQ(take(dottedIP(0)), "0.0.0.0");
  EXPECT_EQ(take(dottedIP(0x0A000102)), "10.0.1.2");
}

TEST_F(HostNames, LookupFillsTheListThatHostIPReads) {
  ASSERT_GE(countHostIPs(str("localhost")), 1);
  EXPECT_EQ(hostIP(1), static_cast<int32_t>(kLoopback));
  EXPECT_EQ(countHostIPs(str("127.0.0.1")), 1);
  EXPECT_EQ(hostIP(1), static_cast<int32_t>(kLoopback));
  // A failed lookup empties the list.
  EXPECT_EQ(countHostIPs(str("")), 0);
  EXPECT_EQ(hostIP(1), 0);
}

TEST_F(HostNames, HostIndexOutsideTheListIsAnErrorInDebugModeOnly) {
  ASSERT_EQ(countHostIPs(str("127.0.0.1")), 1);
  EXPECT_EQ(hostIP(0), 0);
  EXPECT_EQ(hostIP(2), 0);
  debugMode = true;
  EXPECT_EQ(errorOf([] { hostIP(0); }), "Host index out of range");
  EXPECT_EQ(errorOf([] { hostIP(2); }), "Host index out of range");
  EXPECT_EQ(errorOf([] { hostIP(-5); }), "Host index out of range");
  EXPECT_EQ(hostIP(1), static_cast<int32_t>(kLoopback));
}

TEST_F(UdpTest, PortZeroTakesAFreePortOnAllInterfaces) {
  const int32_t stream = createUDPStream(0);
  ASSERT_NE(stream, 0);
  EXPECT_GT(udpStreamPort(stream), 0);
  EXPECT_EQ(udpStreamIP(stream), 0);
  // Before any datagram: nothing to read, and the source is the stream's own address.
  EXPECT_EQ(streamcmd::eof(stream), 1);
  EXPECT_EQ(streamcmd::readAvail(stream), 0);
  EXPECT_EQ(udpMsgIP(stream), udpStreamIP(stream));
  EXPECT_EQ(udpMsgPort(stream), udpStreamPort(stream));
  EXPECT_EQ(streamcmd::readInt(stream), 0);
}

TEST_F(UdpTest, PortsOutsideTheRangeOrTakenGiveNoStream) {
  EXPECT_EQ(createUDPStream(70000), 0);
  EXPECT_EQ(createUDPStream(-1), 0);
  const int32_t first = createUDPStream(0);
  EXPECT_EQ(createUDPStream(udpStreamPort(first)), 0);
}

TEST_F(UdpTest, ReceiveWithTimeoutZeroReturnsAtOnceAndKeepsTheStream) {
  const int32_t stream = createUDPStream(0);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(recvUDPMsg(stream), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(streamcmd::eof(stream), 1);  // usable, not failed
  uint16_t port;
  const int peer = rawUdp(port);
  rawSendTo(peer, static_cast<uint16_t>(udpStreamPort(stream)), "hi");
  EXPECT_EQ(receive(stream), static_cast<int32_t>(kLoopback));
  EXPECT_EQ(udpMsgPort(stream), port);
  EXPECT_EQ(rest(stream), "hi");
  ::close(peer);
}

TEST_F(UdpTest, ReceiveWithTimeoutWaitsForALateDatagram) {
  const int32_t stream = createUDPStream(0);
  uint16_t port;
  const int peer = rawUdp(port);
  std::thread late([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    rawSendTo(peer, static_cast<uint16_t>(udpStreamPort(stream)), "late");
  });
  EXPECT_EQ(receive(stream), static_cast<int32_t>(kLoopback));
  late.join();
  EXPECT_EQ(rest(stream), "late");
  ::close(peer);
}

TEST_F(UdpTest, EachSendIsOneDatagramOfWhatWasWritten) {
  const int32_t stream = createUDPStream(0);
  uint16_t port;
  const int peer = rawUdp(port);
  streamcmd::writeByte(stream, 1);
  streamcmd::writeShort(stream, 0x0302);
  sendUDPMsg(stream, static_cast<int32_t>(kLoopback), port);
  streamcmd::writeShort(stream, 0x0504);
  sendUDPMsg(stream, static_cast<int32_t>(kLoopback), port);
  bool ok;
  EXPECT_EQ(rawReceiveFrom(peer, ok), std::string("\x01\x02\x03", 3));
  EXPECT_TRUE(ok);
  EXPECT_EQ(rawReceiveFrom(peer, ok), std::string("\x04\x05", 2));
  // An empty message is an empty datagram.
  sendUDPMsg(stream, static_cast<int32_t>(kLoopback), port);
  EXPECT_EQ(rawReceiveFrom(peer, ok), "");
  EXPECT_TRUE(ok);
  ::close(peer);
}

TEST_F(UdpTest, DestinationPortZeroIsTheStreamsOwnPort) {
  const int32_t stream = createUDPStream(0);
  streamcmd::writeInt(stream, 0x11223344);
  sendUDPMsg(stream, static_cast<int32_t>(kLoopback), 0);
  EXPECT_EQ(receive(stream), static_cast<int32_t>(kLoopback));
  EXPECT_EQ(udpMsgPort(stream), udpStreamPort(stream));
  EXPECT_EQ(streamcmd::readInt(stream), 0x11223344);
}

TEST_F(UdpTest, ATenByteDatagramIsReadThenReplaced) {
  const int32_t stream = createUDPStream(0);
  uint16_t port;
  const int peer = rawUdp(port);
  const uint16_t target = static_cast<uint16_t>(udpStreamPort(stream));
  rawSendTo(peer, target,
            std::string("\x01\x00\x00\x00"
                        "abcdef",
                        10));
  rawSendTo(peer, target, "xyz");
  ASSERT_EQ(receive(stream), static_cast<int32_t>(kLoopback));
  EXPECT_EQ(streamcmd::readAvail(stream), 10);
  EXPECT_EQ(streamcmd::readInt(stream), 1);
  EXPECT_EQ(streamcmd::readAvail(stream), 6);
  EXPECT_EQ(streamcmd::eof(stream), 0);
  EXPECT_EQ(rest(stream), "abcdef");
  EXPECT_EQ(streamcmd::eof(stream), 1);
  ASSERT_EQ(receive(stream), static_cast<int32_t>(kLoopback));
  EXPECT_EQ(streamcmd::readAvail(stream), 3);
  EXPECT_EQ(take(streamcmd::readLine(stream)), "xyz");
  ::close(peer);
}

TEST_F(UdpTest, ANewDatagramDiscardsTheUnreadRestOfTheLast) {
  const int32_t stream = createUDPStream(0);
  uint16_t port;
  const int peer = rawUdp(port);
  const uint16_t target = static_cast<uint16_t>(udpStreamPort(stream));
  rawSendTo(peer, target, "first message");
  rawSendTo(peer, target, "2nd");
  ASSERT_NE(receive(stream), 0);
  EXPECT_EQ(streamcmd::readByte(stream), 'f');
  ASSERT_NE(receive(stream), 0);
  EXPECT_EQ(rest(stream), "2nd");
  ::close(peer);
}

TEST_F(UdpTest, EmptyAndLargestDatagramsAreTakenWhole) {
  const int32_t stream = createUDPStream(0);
  uint16_t port;
  const int peer = rawUdp(port);
  const uint16_t target = static_cast<uint16_t>(udpStreamPort(stream));
  rawSendTo(peer, target, "");
  std::string largest(65507, '\0');
  for (size_t i = 0; i < largest.size(); ++i) {
    largest[i] = static_cast<char>(i * 7);
  }
  rawSendTo(peer, target, largest);
  ASSERT_EQ(receive(stream), static_cast<int32_t>(kLoopback));
  EXPECT_EQ(streamcmd::readAvail(stream), 0);
  EXPECT_EQ(streamcmd::eof(stream), 1);
  EXPECT_EQ(take(streamcmd::readString(stream)), "");
  ASSERT_EQ(receive(stream), static_cast<int32_t>(kLoopback));
  EXPECT_EQ(streamcmd::readAvail(stream), 65507);
  EXPECT_EQ(rest(stream), largest);
  // A length prefix far beyond the datagram reads only what the datagram holds.
  rawSendTo(peer, target,
            std::string("\xFF\xFF\xFF\x7F"
                        "abc",
                        7));
  ASSERT_NE(receive(stream), 0);
  EXPECT_EQ(take(streamcmd::readString(stream)), "abc");
  ::close(peer);
}

TEST_F(UdpTest, ASendToAClosedPortLeavesTheStreamUsable) {
  const int32_t stream = createUDPStream(0);
  const uint16_t closed = freePort(SOCK_DGRAM);
  streamcmd::writeByte(stream, 1);
  sendUDPMsg(stream, static_cast<int32_t>(kLoopback), closed);
  // Any notice the system gets about the lost datagram is not a datagram.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(recvUDPMsg(stream), 0);
  EXPECT_EQ(streamcmd::eof(stream), 1);
  streamcmd::writeByte(stream, 2);
  sendUDPMsg(stream, static_cast<int32_t>(kLoopback), 0);
  EXPECT_EQ(receive(stream), static_cast<int32_t>(kLoopback));
  EXPECT_EQ(streamcmd::readByte(stream), 2);
}

TEST_F(UdpTest, ADestinationPortOutsideTheRangeSendsNothingAndKeepsTheMessage) {
  const int32_t stream = createUDPStream(0);
  streamcmd::writeInt(stream, 77);
  // Cut to 16 bits, 65536 + port would reach the stream's own port.
  sendUDPMsg(stream, static_cast<int32_t>(kLoopback), 65536 + udpStreamPort(stream));
  EXPECT_EQ(recvUDPMsg(stream), 0);
  sendUDPMsg(stream, static_cast<int32_t>(kLoopback), 0);
  EXPECT_EQ(receive(stream), static_cast<int32_t>(kLoopback));
  EXPECT_EQ(streamcmd::readInt(stream), 77);
}

TEST_F(UdpTest, ClosedStreamsAreErrorsInDebugModeAndIgnoredOtherwise) {
  const int32_t stream = createUDPStream(0);
  closeUDPStream(stream);
  closeUDPStream(stream);
  closeUDPStream(0);
  EXPECT_EQ(recvUDPMsg(stream), 0);
  EXPECT_EQ(udpStreamPort(stream), 0);
  sendUDPMsg(stream, static_cast<int32_t>(kLoopback), 0);
  debugMode = true;
  EXPECT_EQ(errorOf([&] { closeUDPStream(stream); }), "UDP Stream does not exist");
  EXPECT_EQ(errorOf([&] { recvUDPMsg(stream); }), "UDP Stream does not exist");
  EXPECT_EQ(errorOf([&] { sendUDPMsg(stream, 1, 1); }), "UDP Stream does not exist");
  EXPECT_EQ(errorOf([&] { udpMsgIP(stream); }), "UDP Stream does not exist");
  EXPECT_EQ(errorOf([&] { streamcmd::readByte(stream); }), "Stream does not exist");
}

TEST_F(UdpTest, DestroyingTheModuleClosesEveryStream) {
  const int32_t a = createUDPStream(0);
  const uint16_t port = static_cast<uint16_t>(udpStreamPort(a));
  sockets_destroy();
  EXPECT_FALSE(portInUse(port, true));
  debugMode = true;
  EXPECT_EQ(errorOf([&] { streamcmd::eof(a); }), "Stream does not exist");
  debugMode = false;
  ASSERT_TRUE(sockets_create());
  EXPECT_NE(createUDPStream(port), 0);
}

}  // namespace
