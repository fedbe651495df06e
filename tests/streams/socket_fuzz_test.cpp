// A seeded fuzz test of every stream reader over TCP: random and truncated byte streams
// (ints, floats, strings with hostile length prefixes, lines without an end) are sent
// by a plain peer that then closes, and each sequence of reads must give exactly what
// the same reads give over the same bytes held in memory.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "basic/ks_str.h"
#include "streams/bank_commands.h"
#include "streams/sockets_commands.h"
#include "streams/stream_commands.h"
#include "tests/streams/memory_stream.h"
#include "tests/streams/net_test_support.h"

using namespace nettest;

namespace {

using SocketFuzz = SocketsTest;
using Bytes = std::vector<uint8_t>;

void appendInt(Bytes& bytes, uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
  }
}

// Pieces a reader might meet, mixed at random and cut off anywhere.
Bytes hostileBytes(std::mt19937& random) {
  Bytes bytes;
  const int pieces = static_cast<int>(random() % 12);
  for (int p = 0; p < pieces; ++p) {
    switch (random() % 6) {
      case 0:  // noise
        for (int n = static_cast<int>(random() % 40); n > 0; --n) {
          bytes.push_back(static_cast<uint8_t>(random()));
        }
        break;
      case 1: {  // a length prefix much larger than anything sent
        const uint32_t lengths[] = {0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu, 1u << 20,
                                    static_cast<uint32_t>(random())};
        appendInt(bytes, lengths[random() % 5]);
        break;
      }
      case 2: {  // an honest string, maybe cut short later
        const uint32_t length = random() % 300;
        appendInt(bytes, length);
        for (uint32_t i = 0; i < length; ++i) {
          bytes.push_back(static_cast<uint8_t>('a' + random() % 26));
        }
        break;
      }
      case 3:  // text with CRs, LFs, zeros, maybe without an end
        for (int n = static_cast<int>(random() % 200); n > 0; --n) {
          const uint8_t chars[] = {'x', 'y', '\r', '\n', 0, ' '};
          bytes.push_back(chars[random() % 6]);
        }
        break;
      case 4: {  // a float
        const float value = static_cast<float>(static_cast<int>(random() % 2000) - 1000) / 7.0f;
        uint32_t word;
        std::memcpy(&word, &value, 4);
        appendInt(bytes, word);
        break;
      }
      default:  // a small int, maybe a negative length
        appendInt(bytes, static_cast<uint32_t>(static_cast<int>(random() % 21) - 10));
        break;
    }
  }
  if (!bytes.empty() && random() % 2) {
    bytes.resize(random() % bytes.size());
  }
  return bytes;
}

// One reader applied to a stream handle, as text for comparison.
std::string applyReader(int reader, int32_t stream, int32_t bank, uint32_t extra) {
  using namespace streamcmd;
  switch (reader) {
    case 0:
      return "b" + std::to_string(readByte(stream));
    case 1:
      return "s" + std::to_string(readShort(stream));
    case 2:
      return "i" + std::to_string(readInt(stream));
    case 3: {
      const float value = readFloat(stream);
      uint32_t word;
      std::memcpy(&word, &value, 4);
      return "f" + std::to_string(word);
    }
    case 4:
      return "$" + ksStrTake(readString(stream));
    case 5:
      return "l" + ksStrTake(readLine(stream));
    default: {
      const int32_t count = static_cast<int32_t>(extra % 80);
      const int32_t got = bankcmd::readBytes(bank, stream, 0, count);
      std::string text = "r" + std::to_string(got) + ":";
      for (int32_t i = 0; i < got; ++i) {
        text.push_back(static_cast<char>(bankcmd::peekByte(bank, i)));
      }
      return text;
    }
  }
}

TEST_F(SocketFuzz, EveryReaderOverTcpMatchesTheSameReadsInMemory) {
  ASSERT_TRUE(bank_create());
  uint16_t port;
  const int listener = rawListen(port);
  const int32_t bank = bankcmd::createBank(80);
  netcmd::tcpTimeouts(20000, 0);
  std::mt19937 random(20261209);
  for (int round = 0; round < 150; ++round) {
    const Bytes bytes = hostileBytes(random);
    const int32_t stream = netcmd::openTCPStream(str("127.0.0.1"), port, 0);
    const int peer = rawAccept(listener);
    ASSERT_NE(stream, 0);
    ASSERT_GE(peer, 0);
    rawSend(peer, std::string(bytes.begin(), bytes.end()));
    ::shutdown(peer, SHUT_WR);
    MemoryStream memory(bytes);
    for (int step = 0; step < 400; ++step) {
      const int reader = static_cast<int>(random() % 7);
      const uint32_t extra = random();
      const std::string overTcp = applyReader(reader, stream, bank, extra);
      const std::string inMemory = applyReader(reader, memory.handle(), bank, extra);
      ASSERT_EQ(overTcp, inMemory) << "round " << round << ", step " << step;
      const int end = streamcmd::eof(stream);
      ASSERT_EQ(end, streamcmd::eof(memory.handle())) << "round " << round << ", step " << step;
      if (end != 0) {
        break;
      }
    }
    EXPECT_EQ(streamcmd::eof(stream), 1);
    netcmd::closeTCPStream(stream);
    ::close(peer);
  }
  ::close(listener);
  bank_destroy();
}

// Datagrams carry the same hostile bytes; every reader stays inside the message.
TEST_F(SocketFuzz, EveryReaderOverUdpMatchesTheSameReadsInMemory) {
  ASSERT_TRUE(bank_create());
  const int32_t stream = netcmd::createUDPStream(0);
  uint16_t port;
  const int peer = rawUdp(port);
  const int32_t bank = bankcmd::createBank(80);
  netcmd::udpTimeouts(20000);
  std::mt19937 random(7);
  for (int round = 0; round < 150; ++round) {
    const Bytes bytes = hostileBytes(random);
    rawSendTo(peer, static_cast<uint16_t>(netcmd::udpStreamPort(stream)),
              std::string(bytes.begin(), bytes.end()));
    ASSERT_EQ(netcmd::recvUDPMsg(stream), static_cast<int32_t>(kLoopback));
    MemoryStream memory(bytes);
    for (int step = 0; step < 400 && streamcmd::eof(stream) == 0; ++step) {
      const int reader = static_cast<int>(random() % 7);
      const uint32_t extra = random();
      ASSERT_EQ(applyReader(reader, stream, bank, extra),
                applyReader(reader, memory.handle(), bank, extra))
          << "round " << round << ", step " << step;
      ASSERT_EQ(streamcmd::readAvail(stream), streamcmd::readAvail(memory.handle()));
    }
    EXPECT_EQ(streamcmd::eof(stream), 1);
  }
  ::close(peer);
  bank_destroy();
}

}  // namespace
