// The bank commands: sizes and growth, peeks and pokes of every width, copies that
// overlap, transfers to and from streams, the debug-mode checks, and the refusals that
// keep every access inside its bank in every mode.
#include "streams/bank_commands.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "basic/ks_error.h"
#include "runtime/modules.h"
#include "streams/bank.h"
#include "streams/filesystem_commands.h"
#include "streams/stream_commands.h"
#include "tests/streams/bank_fixture.h"
#include "tests/streams/memory_stream.h"
#include "tests/streams/net_test_support.h"
#include "tests/streams/temp_dir.h"

using namespace bankcmd;
using nettest::errorOf;
using Bytes = std::vector<uint8_t>;

namespace {

using BankTest = BankModuleTest;
using BankGrowth = BankTest;
using BankDebugChecks = BankTest;
using BankRefusals = BankTest;
using BankStreams = BankTest;

const ksBank* record(int32_t handle) {
  return reinterpret_cast<const ksBank*>(static_cast<intptr_t>(handle));
}

Bytes contents(int32_t bank) {
  Bytes bytes;
  for (int i = 0; i < bankSize(bank); ++i) {
    bytes.push_back(static_cast<uint8_t>(peekByte(bank, i)));
  }
  return bytes;
}

std::vector<std::pair<std::string, void*>> linked;
void collect(CommandSignature signature, void* entry) { linked.emplace_back(signature, entry); }

TEST(BankModule, RegistersSixteenCommandsInOrder) {
  linked.clear();
  bank_link(collect);
  const std::vector<std::string> expected = {
      "%CreateBank%size=0",
      "FreeBank%bank",
      "%BankSize%bank",
      "ResizeBank%bank%size",
      "CopyBank%src_bank%src_offset%dest_bank%dest_offset%count",
      "%PeekByte%bank%offset",
      "%PeekShort%bank%offset",
      "%PeekInt%bank%offset",
      "#PeekFloat%bank%offset",
      "PokeByte%bank%offset%value",
      "PokeShort%bank%offset%value",
      "PokeInt%bank%offset%value",
      "PokeFloat%bank%offset#value",
      "%ReadBytes%bank%file%offset%count",
      "%WriteBytes%bank%file%offset%count",
      "%CallDLL$dll_name$func_name%in_bank=0%out_bank=0"};
  ASSERT_EQ(linked.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(linked[i].first, expected[i]);
    EXPECT_NE(linked[i].second, nullptr);
  }
}

TEST_F(BankTest, NewBanksAreZeroAndSized) {
  const int32_t bank = createBank(10);
  EXPECT_EQ(bankSize(bank), 10);
  EXPECT_EQ(contents(bank), Bytes(10, 0));
  EXPECT_EQ(record(bank)->capacity, 16);
  const int32_t empty = createBank(0);
  EXPECT_EQ(bankSize(empty), 0);
  EXPECT_EQ(record(empty)->capacity, 0);
}

TEST_F(BankTest, PokesKeepTheLowBitsAndPeeksReadLittleEndian) {
  const int32_t bank = createBank(16);
  pokeShort(bank, 0, 70000);
  EXPECT_EQ(peekShort(bank, 0), 4464);
  pokeByte(bank, 2, -1);
  EXPECT_EQ(peekByte(bank, 2), 255);
  pokeInt(bank, 4, -2);
  EXPECT_EQ(peekShort(bank, 4), 65534);
  EXPECT_EQ(peekInt(bank, 4), -2);
  pokeInt(bank, 8, 0x12345678);
  EXPECT_EQ(peekByte(bank, 8), 0x78);
  EXPECT_EQ(peekByte(bank, 11), 0x12);
  pokeFloat(bank, 12, 1.5f);
  EXPECT_EQ(peekInt(bank, 12), 0x3FC00000);
  EXPECT_EQ(peekFloat(bank, 12), 1.5f);
  // Unaligned ints work too.
  pokeInt(bank, 1, INT32_MIN);
  EXPECT_EQ(peekInt(bank, 1), INT32_MIN);
}

TEST_F(BankGrowth, GrowingZeroesWhatTheBankGrowsInto) {
  const int32_t bank = createBank(10);
  for (int i = 0; i < 10; ++i) {
    pokeByte(bank, i, 0xAA);
  }
  resizeBank(bank, 12);
  EXPECT_EQ(peekShort(bank, 10), 0);
  resizeBank(bank, 100);
  EXPECT_EQ(contents(bank), [] {
    Bytes b(100, 0);
    std::fill(b.begin(), b.begin() + 10, 0xAA);
    return b;
  }());
  resizeBank(bank, 4);
  EXPECT_EQ(bankSize(bank), 4);
  resizeBank(bank, 10);
  EXPECT_EQ(contents(bank), (Bytes{0xAA, 0xAA, 0xAA, 0xAA, 0, 0, 0, 0, 0, 0}));
}

TEST_F(BankGrowth, CapacityGrowsByHalfInSixteenByteSteps) {
  const int32_t bank = createBank(16);
  resizeBank(bank, 17);
  EXPECT_EQ(record(bank)->capacity, 32);
  resizeBank(bank, 33);
  EXPECT_EQ(record(bank)->capacity, 48);
  resizeBank(bank, 4);
  EXPECT_EQ(record(bank)->capacity, 48);  // shrinking keeps the storage
  const int32_t empty = createBank(0);
  resizeBank(empty, 5);
  EXPECT_EQ(record(empty)->capacity, 16);
  resizeBank(empty, 1000);
  EXPECT_EQ(record(empty)->capacity, 1008);
  // Growing a byte at a time copies rarely.
  const int32_t grown = createBank(0);
  int moves = 0;
  const char* data = record(grown)->data;
  for (int size = 1; size <= 100000; ++size) {
    resizeBank(grown, size);
    if (record(grown)->data != data) {
      ++moves;
      data = record(grown)->data;
    }
  }
  EXPECT_LT(moves, 40);
  EXPECT_EQ(peekByte(grown, 99999), 0);
}

TEST_F(BankTest, CopyBankHandlesOverlapBothWays) {
  const int32_t bank = createBank(8);
  for (int i = 0; i < 8; ++i) {
    pokeByte(bank, i, i + 1);
  }
  copyBank(bank, 0, bank, 1, 4);
  EXPECT_EQ(contents(bank), (Bytes{1, 1, 2, 3, 4, 6, 7, 8}));
  copyBank(bank, 3, bank, 1, 5);
  EXPECT_EQ(contents(bank), (Bytes{1, 3, 4, 6, 7, 8, 7, 8}));
  const int32_t other = createBank(4);
  copyBank(bank, 4, other, 0, 4);
  EXPECT_EQ(contents(other), (Bytes{7, 8, 7, 8}));
  copyBank(other, 0, bank, 8, 0);  // nothing, at the very end: allowed
}

TEST_F(BankTest, FreeBankIgnoresWhatIsNotALiveBankInEveryMode) {
  const int32_t bank = createBank(4);
  freeBank(bank);
  freeBank(bank);
  freeBank(0);
  freeBank(12345);
  debugMode = true;
  freeBank(bank);
  EXPECT_EQ(errorOf([&] { bankSize(bank); }), "ksBank does not exist");
}

TEST_F(BankDebugChecks, EveryAccessIsCheckedAgainstTheBank) {
  debugMode = true;
  const int32_t bank = createBank(16);
  EXPECT_EQ(peekInt(bank, 12), 0);
  EXPECT_EQ(peekByte(bank, 15), 0);
  EXPECT_EQ(errorOf([&] { peekInt(bank, 13); }), "Offset out of range");
  EXPECT_EQ(errorOf([&] { pokeInt(bank, 13, 1); }), "Offset out of range");
  EXPECT_EQ(errorOf([&] { peekShort(bank, 15); }), "Offset out of range");
  EXPECT_EQ(errorOf([&] { pokeFloat(bank, 14, 1); }), "Offset out of range");
  EXPECT_EQ(errorOf([&] { peekByte(bank, -1); }), "Offset out of range");
  EXPECT_EQ(errorOf([&] { pokeByte(bank, 16, 1); }), "Offset out of range");
  const int32_t empty = createBank(0);
  EXPECT_EQ(errorOf([&] { peekByte(empty, 0); }), "Offset out of range");
  // The source is checked before the destination; negative counts are out of range.
  EXPECT_EQ(errorOf([&] { copyBank(0, 0, bank, 0, 1); }), "ksBank does not exist");
  EXPECT_EQ(errorOf([&] { copyBank(bank, 10, 0, 0, 8); }), "Offset out of range");
  EXPECT_EQ(errorOf([&] { copyBank(bank, 0, bank, 0, -1); }), "Offset out of range");
  EXPECT_EQ(errorOf([&] { copyBank(bank, 0, bank, INT32_MAX, 4); }), "Offset out of range");
  const int32_t dead = createBank(4);
  freeBank(dead);
  EXPECT_EQ(errorOf([&] { peekByte(dead, 0); }), "ksBank does not exist");
  EXPECT_EQ(errorOf([&] { resizeBank(dead, 1); }), "ksBank does not exist");
  EXPECT_EQ(errorOf([&] { callDLL(nettest::str("x"), nettest::str("y"), dead, 0); }),
            "ksBank does not exist");
  EXPECT_EQ(errorOf([&] { createBank(-1); }), "Illegal bank size");
  EXPECT_EQ(errorOf([&] { resizeBank(bank, -16); }), "Illegal bank size");
  EXPECT_EQ(bankSize(bank), 16);
}

TEST_F(BankRefusals, OutsideDebugModeNothingOutsideABankIsTouched) {
  const int32_t bank = createBank(20);
  const int32_t guard = createBank(16);
  for (int i = 0; i < 16; ++i) {
    pokeByte(guard, i, 0x5A);
  }
  resizeBank(bank, 16);  // capacity stays 32: bytes 16 ... 31 are storage, not contents
  pokeInt(bank, 13, -1);
  pokeInt(bank, -4, -1);
  pokeInt(bank, INT32_MAX, -1);
  pokeByte(bank, 16, 7);
  pokeShort(bank, INT32_MIN, 7);
  EXPECT_EQ(peekInt(bank, 13), 0);
  EXPECT_EQ(peekByte(bank, -1), 0);
  EXPECT_EQ(peekFloat(bank, 30), 0.0f);
  copyBank(guard, 0, bank, 8, 16);
  copyBank(guard, 4, bank, 0, INT32_MAX);
  copyBank(guard, 0, bank, 0, -5);
  const char* const storage = record(bank)->data;
  EXPECT_EQ(Bytes(storage, storage + record(bank)->capacity), Bytes(32, 0));
  EXPECT_EQ(contents(guard), Bytes(16, 0x5A));
  // A negative size is refused: no bank, or no change.
  const int32_t fromNegative = createBank(-100);
  EXPECT_EQ(bankSize(fromNegative), 0);
  resizeBank(bank, -1);
  EXPECT_EQ(bankSize(bank), 16);
}

// The entry turns the allocation failure into the runtime error "Out of memory".
TEST_F(BankRefusals, ASizeWhoseCapacityPassesTwoGigabytesIsOutOfMemory) {
  EXPECT_THROW(createBank(INT32_MAX), std::bad_alloc);
  EXPECT_THROW(createBank(INT32_MAX - 14), std::bad_alloc);
}

TEST_F(BankStreams, ReadBytesAndWriteBytesGoThroughAnyStream) {
  MemoryStream source(Bytes{1, 2, 3, 4, 5, 6});
  const int32_t bank = createBank(10);
  EXPECT_EQ(readBytes(bank, source.handle(), 2, 8), 6);
  EXPECT_EQ(contents(bank), (Bytes{0, 0, 1, 2, 3, 4, 5, 6, 0, 0}));
  MemoryStream sink;
  EXPECT_EQ(writeBytes(bank, sink.handle(), 1, 4), 4);
  EXPECT_EQ(sink.data, (Bytes{0, 1, 2, 3}));
  EXPECT_EQ(writeBytes(bank, sink.handle(), 10, 0), 0);
  // Outside the bank nothing moves, in either direction.
  EXPECT_EQ(readBytes(bank, source.handle(), 8, 4), 0);
  EXPECT_EQ(writeBytes(bank, sink.handle(), -1, 4), 0);
  EXPECT_EQ(writeBytes(bank, sink.handle(), 0, -4), 0);
  EXPECT_EQ(sink.written, (std::vector<int>{4}));
}

TEST_F(BankStreams, TheBankIsCheckedBeforeTheStream) {
  debugMode = true;
  const int32_t bank = createBank(4);
  MemoryStream stream(Bytes{9});
  const int32_t dead = [] {
    MemoryStream gone;
    return gone.handle();
  }();
  EXPECT_EQ(errorOf([&] { readBytes(bank, dead, 2, 4); }), "Offset out of range");
  EXPECT_EQ(errorOf([&] { readBytes(0, dead, 0, 1); }), "ksBank does not exist");
  EXPECT_EQ(errorOf([&] { writeBytes(bank, dead, 0, 4); }), "Stream does not exist");
  EXPECT_EQ(readBytes(bank, stream.handle(), 0, 4), 1);
}

class BankFiles : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    ASSERT_TRUE(bank_create());
  }
  void TearDown() override {
    bank_destroy();
    TempDirTest::TearDown();
  }
};

TEST_F(BankFiles, ReadBytesFromAFileReturnsWhatWasLeft) {
  put("data.bin", std::string(130, 'x'));
  const int32_t file = filecmd::readFile(nettest::str("data.bin"));
  const int32_t bank = createBank(100);
  EXPECT_EQ(readBytes(bank, file, 0, 100), 100);
  EXPECT_EQ(readBytes(bank, file, 0, 100), 30);
  filecmd::closeFile(file);
  const int32_t out = filecmd::writeFile(nettest::str("copy.bin"));
  EXPECT_EQ(writeBytes(bank, out, 0, 30), 30);
  filecmd::closeFile(out);
  EXPECT_EQ(contents("copy.bin"), std::string(30, 'x'));
}

TEST_F(BankTest, DestroyFreesEveryBank) {
  const int32_t a = createBank(8);
  createBank(1000);
  bank_destroy();
  ASSERT_TRUE(bank_create());
  debugMode = true;
  EXPECT_EQ(errorOf([&] { bankSize(a); }), "ksBank does not exist");
}

}  // namespace
