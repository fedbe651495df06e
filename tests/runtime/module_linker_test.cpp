// Linking patches relative and absolute sites and resolves module symbols before
// runtime ones; failures carry the designed texts and exit codes.
#include <gtest/gtest.h>

#include <cstring>

#include "runtime/module_linker.h"
#include "tests/runtime/image_builder.h"

namespace {

uint32_t wordAt(const uint8_t* code, int offset) {
  uint32_t value;
  std::memcpy(&value, code + offset, 4);
  return value;
}

std::vector<uint8_t> codeWithAddends(std::initializer_list<int32_t> words) {
  std::vector<uint8_t> code;
  for (int32_t w : words) {
    ImageBuilder::word(code, w);
  }
  return code;
}

TEST(ModuleLinker, RelativeSiteGetsTargetMinusSitePlusFour) {
  const auto bytes = ImageBuilder(codeWithAddends({-4, -4})).relative("_fend", 4).bytes();
  const RuntimeLinkTable runtime = {{"_fend", 0x12345678}};
  const LinkOutcome linked = linkModuleBytes(bytes.data(), bytes.size(), runtime);
  ASSERT_NE(linked.code, nullptr) << linked.error;
  const uint32_t site = uint32_t(reinterpret_cast<uintptr_t>(linked.code)) + 4;
  EXPECT_EQ(wordAt(linked.code, 4), 0x12345678u - (site + 4));
  EXPECT_EQ(int32_t(wordAt(linked.code, 0)), -4);  // untouched
}

TEST(ModuleLinker, AbsoluteSiteAddsTargetToItsAddend) {
  const auto bytes = ImageBuilder(codeWithAddends({0, 8, 0}))
                         .symbol("data", 8)
                         .absolute("__ksIntType", 0)
                         .absolute("data", 4)
                         .bytes();
  const RuntimeLinkTable runtime = {{"__ksIntType", 0x1000}};
  const LinkOutcome linked = linkModuleBytes(bytes.data(), bytes.size(), runtime);
  ASSERT_NE(linked.code, nullptr);
  const uint32_t base = uint32_t(reinterpret_cast<uintptr_t>(linked.code));
  EXPECT_EQ(wordAt(linked.code, 0), 0x1000u);
  EXPECT_EQ(wordAt(linked.code, 4), base + 8 + 8);
}

TEST(ModuleLinker, ModuleSymbolHidesTheRuntimeCommandOfTheSameName) {
  const auto bytes = ImageBuilder(codeWithAddends({0, 0})).symbol("_fend", 4).absolute("_fend", 0).bytes();
  const RuntimeLinkTable runtime = {{"_fend", 0x5000}};
  const LinkOutcome linked = linkModuleBytes(bytes.data(), bytes.size(), runtime);
  ASSERT_NE(linked.code, nullptr);
  EXPECT_EQ(wordAt(linked.code, 0), uint32_t(reinterpret_cast<uintptr_t>(linked.code)) + 4);
}

TEST(ModuleLinker, FixupsMayNameSymbolsDefinedLaterInTheTable) {
  const auto bytes = ImageBuilder(codeWithAddends({0, 0, 0})).symbol("a", 4).symbol("b", 8).absolute("b", 0).bytes();
  const LinkOutcome linked = linkModuleBytes(bytes.data(), bytes.size(), {});
  ASSERT_NE(linked.code, nullptr);
  EXPECT_EQ(wordAt(linked.code, 0), uint32_t(reinterpret_cast<uintptr_t>(linked.code)) + 8);
}

TEST(ModuleLinker, EmptyTablesLinkAndTheEntryIsTheCodeStart) {
  const auto bytes = ImageBuilder({0xC3}).bytes();
  const LinkOutcome linked = linkModuleBytes(bytes.data(), bytes.size(), {});
  ASSERT_NE(linked.code, nullptr);
  EXPECT_EQ(linked.code[0], 0xC3);
  reinterpret_cast<void (*)()>(linked.code)();  // a bare ret: the block is executable
}

TEST(ModuleLinker, MissingSymbolNamesItAndExitsWithZero) {
  const auto bytes = ImageBuilder(codeWithAddends({-4})).relative("_fnosuchcommand", 0).bytes();
  const LinkOutcome linked = linkModuleBytes(bytes.data(), bytes.size(), {});
  EXPECT_EQ(linked.code, nullptr);
  EXPECT_EQ(linked.error, "Can't find symbol: _fnosuchcommand");
  EXPECT_EQ(linked.exitCode, 0);
}

TEST(ModuleLinker, MalformedImageIsUnableToRunWithMinusOne) {
  const auto bytes = ImageBuilder(codeWithAddends({0})).symbol("outside", 4).bytes();
  const LinkOutcome linked = linkModuleBytes(bytes.data(), bytes.size(), {});
  EXPECT_EQ(linked.code, nullptr);
  EXPECT_EQ(linked.error, "Unable to run Kestrel Basic module");
  EXPECT_EQ(linked.exitCode, -1);
}

}  // namespace
