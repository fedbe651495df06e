// The stream commands over in-memory streams: encodings, short reads, strings and
// lines, CopyStream and the debug-mode handle checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "basic/ks_error.h"
#include "basic/ks_str.h"
#include "runtime/modules.h"
#include "streams/stream_commands.h"
#include "tests/streams/memory_stream.h"

using namespace streamcmd;
using Bytes = std::vector<uint8_t>;

namespace {

std::string take(ksStr* s) { return ksStrTake(s); }

std::vector<std::pair<std::string, void*>> linked;
void collect(CommandSignature signature, void* entry) { linked.emplace_back(signature, entry); }

class DebugModeOff : public ::testing::Test {
 protected:
  void SetUp() override { debugMode = false; }
  void TearDown() override { debugMode = false; }
};

using StreamEncodings = DebugModeOff;
using StreamText = DebugModeOff;
using CopyStreamTest = DebugModeOff;

TEST(StreamModule, RegistersFifteenCommandsWithOneEntryForIntAndFloat) {
  linked.clear();
  stream_link(collect);
  const std::vector<std::string> expected = {
      "%Eof%stream", "%ReadAvail%stream", "%ReadByte%stream", "%ReadShort%stream",
      "%ReadInt%stream", "#ReadFloat%stream", "$ReadString%stream", "$ReadLine%stream",
      "WriteByte%stream%byte", "WriteShort%stream%short", "WriteInt%stream%int",
      "WriteFloat%stream#float", "WriteString%stream$string", "WriteLine%stream$string",
      "CopyStream%src_stream%dest_stream%buffer_size=16384"};
  ASSERT_EQ(linked.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(linked[i].first, expected[i]);
    EXPECT_NE(linked[i].second, nullptr);
  }
  EXPECT_EQ(linked[10].second, linked[11].second);
}

TEST_F(StreamEncodings, ShortsAndBytesKeepTheirLowBits) {
  MemoryStream s;
  writeShort(s.handle(), 70000);
  writeShort(s.handle(), -1);
  writeByte(s.handle(), 300);
  EXPECT_EQ(s.data, (Bytes{0x70, 0x11, 0xFF, 0xFF, 44}));
  EXPECT_EQ(readShort(s.handle()), 4464);
  EXPECT_EQ(readShort(s.handle()), 65535);
  EXPECT_EQ(readByte(s.handle()), 44);
}

TEST_F(StreamEncodings, IntsRoundTripLittleEndian) {
  MemoryStream s;
  const std::vector<int32_t> values = {0, 1, -1, 0x12345678, INT32_MIN, INT32_MAX, -4660};
  for (int32_t v : values) {
    writeInt(s.handle(), v);
  }
  EXPECT_EQ(Bytes(s.data.begin() + 12, s.data.begin() + 16), (Bytes{0x78, 0x56, 0x34, 0x12}));
  for (int32_t v : values) {
    EXPECT_EQ(readInt(s.handle()), v);
  }
  // A walk over the whole range in large odd steps.
  for (int64_t v = INT32_MIN; v <= INT32_MAX; v += 16777259) {
    writeInt(s.handle(), static_cast<int32_t>(v));
    EXPECT_EQ(readInt(s.handle()), static_cast<int32_t>(v));
  }
}

TEST_F(StreamEncodings, FloatsTravelAsTheirSinglePattern) {
  linked.clear();
  stream_link(collect);
  auto writeFloatEntry = reinterpret_cast<void (*)(int32_t, float)>(linked[11].second);
  auto readFloatEntry = reinterpret_cast<float (*)(int32_t)>(linked[5].second);
  MemoryStream s;
  writeFloatEntry(s.handle(), 1.5f);
  EXPECT_EQ(s.data, (Bytes{0x00, 0x00, 0xC0, 0x3F}));
  writeFloatEntry(s.handle(), -0.1f);
  EXPECT_EQ(readFloatEntry(s.handle()), 1.5f);
  EXPECT_EQ(std::bit_cast<uint32_t>(readFloat(s.handle())), std::bit_cast<uint32_t>(-0.1f));
}

TEST_F(StreamEncodings, ShortReadsLeaveZerosInTheHighBytes) {
  MemoryStream s(Bytes{0x34, 0x12});
  EXPECT_EQ(readInt(s.handle()), 4660);
  s.data = {0xAB};
  s.cursor = 0;
  EXPECT_EQ(readShort(s.handle()), 0xAB);
  EXPECT_EQ(readByte(s.handle()), 0);
  EXPECT_EQ(readInt(s.handle()), 0);
  EXPECT_EQ(readFloat(s.handle()), 0.0f);
  EXPECT_EQ(s.requested, (std::vector<int>{4, 2, 1, 4, 4}));
}

TEST_F(StreamText, StringsAreLengthPrefixed) {
  MemoryStream s;
  writeString(s.handle(), ksStrNew("abc"));
  EXPECT_EQ(s.data, (Bytes{3, 0, 0, 0, 'a', 'b', 'c'}));
  writeString(s.handle(), ksStrNew(""));
  EXPECT_EQ(s.data.size(), 11u);
  writeString(s.handle(), ksStrNew(std::string_view("a\0b", 3)));
  EXPECT_EQ(take(readString(s.handle())), "abc");
  EXPECT_EQ(take(readString(s.handle())), "");
  EXPECT_EQ(take(readString(s.handle())), std::string("a\0b", 3));
  EXPECT_EQ(take(readString(s.handle())), "");  // nothing left
}

TEST_F(StreamText, BadLengthPrefixesGiveEmptyWithoutReadingTheBody) {
  MemoryStream partial(Bytes{5, 0});
  EXPECT_EQ(take(readString(partial.handle())), "");
  EXPECT_EQ(partial.requested, (std::vector<int>{4}));

  MemoryStream negative(Bytes{0xFF, 0xFF, 0xFF, 0xFF, 'x', 'y'});
  EXPECT_EQ(take(readString(negative.handle())), "");
  EXPECT_EQ(negative.cursor, 4u);
}

TEST_F(StreamText, AnnouncedLengthCostsOnlyTheBytesThatArrive) {
  MemoryStream lying(Bytes{0x00, 0x00, 0x00, 0x7F, 'x', 'y'});  // 2 GB announced
  ksStr* text = readString(lying.handle());
  EXPECT_EQ(text->value.view(), "xy");
  EXPECT_LT(text->value.capacity(), 1u << 20);
  ksStrRelease(text);

  std::vector<uint8_t> bytes = {0x40, 0x0D, 0x03, 0x00};  // 200,000 bytes, several pieces
  for (int i = 0; i < 200000; ++i) {
    bytes.push_back(static_cast<uint8_t>(i % 251));
  }
  MemoryStream whole(bytes);
  const std::string body = take(readString(whole.handle()));
  ASSERT_EQ(body.size(), 200000u);
  EXPECT_TRUE(std::equal(body.begin(), body.end(), bytes.begin() + 4,
                         [](char a, uint8_t b) { return static_cast<uint8_t>(a) == b; }));
  EXPECT_EQ(whole.cursor, bytes.size());
}

TEST_F(StreamText, ShortBodyEndsWhereItsBytesStop) {
  MemoryStream s(Bytes{5, 0, 0, 0, 'h', 'i'});
  EXPECT_EQ(take(readString(s.handle())), "hi");
  MemoryStream none(Bytes{5, 0, 0, 0});
  EXPECT_EQ(take(readString(none.handle())), "");
}

TEST_F(StreamText, ReadLineDropsEveryCarriageReturn) {
  const std::string text = "one\r\ntwo\nthr\ree";
  MemoryStream s(Bytes(text.begin(), text.end()));
  EXPECT_EQ(take(readLine(s.handle())), "one");
  EXPECT_EQ(take(readLine(s.handle())), "two");
  EXPECT_EQ(take(readLine(s.handle())), "three");
  EXPECT_EQ(take(readLine(s.handle())), "");

  const char raw[] = "\n\rlead\n\r\r\n a\0b \r\rtail\r";
  const std::string edges(raw, sizeof raw - 1);
  MemoryStream e(Bytes(edges.begin(), edges.end()));
  EXPECT_EQ(take(readLine(e.handle())), "");
  EXPECT_EQ(take(readLine(e.handle())), "lead");
  EXPECT_EQ(take(readLine(e.handle())), "");
  EXPECT_EQ(take(readLine(e.handle())), std::string(" a\0b tail", 9));
  EXPECT_EQ(e.eof(), 1);
}

// Lines as one-byte reads would give them: split at LF, every CR dropped.
std::vector<std::string> expectedLines(const std::string& text) {
  std::vector<std::string> lines(1);
  for (char c : text) {
    if (c == '\n') {
      lines.emplace_back();
    } else if (c != '\r') {
      lines.back() += c;
    }
  }
  return lines;
}

TEST_F(StreamText, ReadLineOverHeldBytesMatchesByteReads) {
  const char raw[] = "ab\r\ncd\r\r\n\r\nef\n\ngh\ri\r";
  const std::string text(raw, sizeof raw - 1);
  const std::vector<std::string> expected = expectedLines(text);
  for (size_t held : {size_t{1}, size_t{2}, size_t{3}, size_t{5}, size_t{100}}) {
    MemoryStream s(Bytes(text.begin(), text.end()));
    s.bufferedBytes = held;
    for (const std::string& line : expected) {
      EXPECT_EQ(take(readLine(s.handle())), line) << "held " << held;
    }
    EXPECT_EQ(s.cursor, text.size());
    EXPECT_EQ(take(readLine(s.handle())), "");
  }
}

TEST_F(StreamText, WriteLineEndsWithCrLf) {
  MemoryStream s;
  writeLine(s.handle(), ksStrNew(""));
  writeLine(s.handle(), ksStrNew("ab"));
  EXPECT_EQ(s.data, (Bytes{'\r', '\n', 'a', 'b', '\r', '\n'}));
  EXPECT_EQ(take(readLine(s.handle())), "");
  EXPECT_EQ(take(readLine(s.handle())), "ab");
}

TEST_F(StreamText, StringArgumentsAreReleased) {
  MemoryStream s;
  const int before = ksStrActiveCount();
  writeString(s.handle(), ksStrNew("x"));
  writeLine(s.handle(), ksStrNew("y"));
  EXPECT_EQ(ksStrActiveCount(), before);
  ksStr* line = readString(s.handle());
  EXPECT_EQ(ksStrActiveCount(), before + 1);
  ksStrRelease(line);
}

TEST_F(CopyStreamTest, StopsAfterTheFirstShortRead) {
  MemoryStream source(Bytes{1, 2, 3, 4, 5});
  MemoryStream target;
  target.fixedEof = 0;
  copyStream(source.handle(), target.handle(), 2);
  EXPECT_EQ(target.written, (std::vector<int>{2, 2, 1}));
  EXPECT_EQ(target.data, (Bytes{1, 2, 3, 4, 5}));

  MemoryStream trickle(Bytes(20, 7));
  trickle.maxRead = 3;
  MemoryStream partial;
  partial.fixedEof = 0;
  copyStream(trickle.handle(), partial.handle(), 8);
  EXPECT_EQ(partial.written, (std::vector<int>{3}));
}

TEST_F(CopyStreamTest, WritesAnEmptyReadBeforeStopping) {
  MemoryStream source(Bytes{1, 2, 3, 4});
  source.fixedEof = 0;  // claims more data than it has
  MemoryStream target;
  target.fixedEof = 0;
  copyStream(source.handle(), target.handle(), 2);
  EXPECT_EQ(target.written, (std::vector<int>{2, 2, 0}));
}

TEST_F(CopyStreamTest, CopiesNothingWhileEitherSideReportsEnd) {
  MemoryStream source(Bytes{1, 2, 3});
  MemoryStream failed;
  failed.fixedEof = -1;
  copyStream(source.handle(), failed.handle(), 16384);
  EXPECT_TRUE(failed.written.empty());
  source.fixedEof = 1;
  MemoryStream target;
  target.fixedEof = 0;
  copyStream(source.handle(), target.handle(), 16384);
  EXPECT_TRUE(target.written.empty());
  EXPECT_TRUE(source.requested.empty());
}

TEST_F(CopyStreamTest, OutOfRangeBufferSizesAreClampedOutsideDebugMode) {
  MemoryStream source(Bytes{1, 2, 3});
  MemoryStream target;
  target.fixedEof = 0;
  copyStream(source.handle(), target.handle(), 0);
  EXPECT_EQ(target.written, (std::vector<int>{1, 1, 1}));
  MemoryStream big(Bytes{9, 9});
  MemoryStream bigTarget;
  bigTarget.fixedEof = 0;
  copyStream(big.handle(), bigTarget.handle(), 5000000);
  EXPECT_EQ(big.requested, (std::vector<int>{0x100000}));
  EXPECT_EQ(bigTarget.data, (Bytes{9, 9}));
}

std::string errorOf(void (*action)()) {
  try {
    action();
  } catch (const ksEx& e) {
    return e.message ? e.message : "(silent)";
  }
  return "(no error)";
}

int32_t deadHandle() {
  auto* s = new MemoryStream;
  const int32_t handle = s->handle();
  delete s;
  return handle;
}

TEST(StreamChecks, DebugModeRejectsClosedStreamsBeforeTouchingAnything) {
  debugMode = true;
  static int32_t dead;
  static MemoryStream live(Bytes{1, 2, 3});
  dead = deadHandle();
  EXPECT_FALSE(isLiveStream(reinterpret_cast<ksStream*>(dead)));
  EXPECT_TRUE(isLiveStream(&live));
  EXPECT_EQ(errorOf([] { readByte(dead); }), "Stream does not exist");
  EXPECT_EQ(errorOf([] { eof(0); }), "Stream does not exist");
  EXPECT_EQ(errorOf([] { copyStream(live.handle(), dead, 10); }), "Stream does not exist");
  EXPECT_EQ(errorOf([] { copyStream(live.handle(), live.handle(), 0); }), "Illegal buffer size");
  EXPECT_EQ(errorOf([] { copyStream(live.handle(), live.handle(), 0x100001); }),
            "Illegal buffer size");
  EXPECT_TRUE(live.requested.empty());

  static ksStr* text;
  text = ksStrNew("kept");
  const int before = ksStrActiveCount();
  EXPECT_EQ(errorOf([] { writeString(dead, text); }), "Stream does not exist");
  EXPECT_EQ(ksStrActiveCount(), before);  // not released on the error path
  EXPECT_EQ(ksStrText(text), std::string("kept"));
  ksStrRelease(text);

  EXPECT_EQ(errorOf([] { copyStream(live.handle(), live.handle(), 0x100000); }), "(no error)");
  debugMode = false;
}

}  // namespace
