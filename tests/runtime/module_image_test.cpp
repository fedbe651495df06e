// The module image reader: well-formed images, and hostile ones that must be
// rejected without reading outside the image.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "runtime/module_image.h"
#include "tests/runtime/image_builder.h"

namespace {

std::optional<ModuleImage> readCopy(const std::vector<uint8_t>& bytes) {
  // An exact-size heap copy, so that AddressSanitizer sees any read past the end.
  std::unique_ptr<uint8_t[]> copy(new uint8_t[bytes.size() ? bytes.size() : 1]);
  if (!bytes.empty()) {
    std::memcpy(copy.get(), bytes.data(), bytes.size());
  }
  auto image = readModuleImage(copy.get(), bytes.size());
  if (image) {
    image->code = nullptr;  // the copy goes away
  }
  return image;
}

TEST(ModuleImageReader, ReadsAllThreeTables) {
  const auto bytes = ImageBuilder({0x90, 0x90, 0x90, 0x90, 0x90, 0x90, 0x90, 0x90})
                         .symbol("__MAIN", 0)
                         .symbol("last", 7)
                         .relative("_fend", 1)
                         .absolute("__ksIntType", 4)
                         .bytes();
  const auto image = readModuleImage(bytes.data(), bytes.size());
  ASSERT_TRUE(image);
  EXPECT_EQ(image->codeSize, 8);
  EXPECT_EQ(image->code, bytes.data() + 4);
  ASSERT_EQ(image->symbols.size(), 2u);
  EXPECT_EQ(image->symbols[1].name, "last");
  EXPECT_EQ(image->symbols[1].offset, 7);
  ASSERT_EQ(image->relativeFixups.size(), 1u);
  EXPECT_EQ(image->relativeFixups[0].name, "_fend");
  ASSERT_EQ(image->absoluteFixups.size(), 1u);
  EXPECT_EQ(image->absoluteFixups[0].offset, 4);
}

TEST(ModuleImageReader, NegativeCountsMeanNoRecords) {
  std::vector<uint8_t> bytes;
  ImageBuilder::word(bytes, 1);
  bytes.push_back(0xC3);
  for (int i = 0; i < 3; ++i) {
    ImageBuilder::word(bytes, -5);
  }
  const auto image = readCopy(bytes);
  ASSERT_TRUE(image);
  EXPECT_TRUE(image->symbols.empty());
  EXPECT_TRUE(image->absoluteFixups.empty());
}

TEST(ModuleImageReader, SymbolBoundsAreZeroToCodeSizeMinusOne) {
  const std::vector<uint8_t> code(16, 0x90);
  EXPECT_TRUE(readCopy(ImageBuilder(code).symbol("a", 0).symbol("b", 15).bytes()));
  EXPECT_FALSE(readCopy(ImageBuilder(code).symbol("a", 16).bytes()));
  EXPECT_FALSE(readCopy(ImageBuilder(code).symbol("a", -1).bytes()));
}

TEST(ModuleImageReader, FixupSitesMustLieWhollyInsideTheCode) {
  const std::vector<uint8_t> code(16, 0x90);
  EXPECT_TRUE(readCopy(ImageBuilder(code).relative("x", 12).absolute("y", 0).bytes()));
  EXPECT_FALSE(readCopy(ImageBuilder(code).relative("x", 13).bytes()));
  EXPECT_FALSE(readCopy(ImageBuilder(code).absolute("y", -4).bytes()));
  EXPECT_FALSE(readCopy(ImageBuilder({0x90, 0x90}).absolute("y", 0).bytes()));
}

TEST(ModuleImageReader, RejectsTruncatedAndOversizedData) {
  const auto good = ImageBuilder(std::vector<uint8_t>(8, 0x90)).symbol("main", 0).relative("f", 2).bytes();
  for (size_t cut = 0; cut < good.size(); ++cut) {
    EXPECT_FALSE(readCopy(std::vector<uint8_t>(good.begin(), good.begin() + long(cut)))) << cut;
  }
  std::vector<uint8_t> hugeCode;
  ImageBuilder::word(hugeCode, 0x7FFFFFF0);
  EXPECT_FALSE(readCopy(hugeCode));
  std::vector<uint8_t> hugeCount;
  ImageBuilder::word(hugeCount, 0);
  ImageBuilder::word(hugeCount, 0x10000000);
  EXPECT_FALSE(readCopy(hugeCount));
}

TEST(ModuleImageReader, RejectsANameWithoutItsZeroByte) {
  std::vector<uint8_t> bytes;
  ImageBuilder::word(bytes, 0);
  ImageBuilder::word(bytes, 1);
  for (char c : std::string("unterminated_name")) {
    bytes.push_back(uint8_t(c));
  }
  EXPECT_FALSE(readCopy(bytes));
}

// Random mutations of a valid image: the reader either accepts a consistent image
// or rejects it, and never touches memory outside the bytes (checked under ASan).
TEST(ModuleImageReader, SurvivesRandomMutations) {
  ImageBuilder builder(std::vector<uint8_t>(64, 0x90));
  for (int i = 0; i < 8; ++i) {
    builder.symbol("sym" + std::to_string(i), i * 7).relative("_fend", i * 4).absolute("__ksIntType", 60 - i * 4);
  }
  const std::vector<uint8_t> valid = builder.bytes();
  std::mt19937 random(12345);
  for (int round = 0; round < 20000; ++round) {
    std::vector<uint8_t> bytes = valid;
    const int edits = 1 + int(random() % 6);
    for (int e = 0; e < edits; ++e) {
      const size_t at = random() % bytes.size();
      switch (random() % 4) {
        case 0: bytes[at] = uint8_t(random()); break;
        case 1: bytes[at] ^= uint8_t(1u << (random() % 8)); break;
        case 2: bytes.resize(at); break;
        default: bytes.insert(bytes.begin() + long(at), uint8_t(random())); break;
      }
      if (bytes.empty()) {
        break;
      }
    }
    const auto image = readCopy(bytes);
    if (!image) {
      continue;
    }
    for (const auto& s : image->symbols) {
      ASSERT_TRUE(s.offset >= 0 && s.offset < image->codeSize);
    }
    for (const auto* fixups : {&image->relativeFixups, &image->absoluteFixups}) {
      for (const auto& f : *fixups) {
        ASSERT_TRUE(f.offset >= 0 && f.offset + 4 <= image->codeSize);
      }
    }
  }
}

}  // namespace
