// The Windows executable resource reader on executables of the test's own making:
// well-formed ones with one or many resources, and hostile ones (truncated, offsets
// and sizes past the end, loops in the tree, a seeded fuzz of mutations). Every file is
// read from a buffer that ends at an unreadable page, so a read past its end crashes.
#include "runtime/pe_resources.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <random>
#include <string>

#include "platform/process.h"
#include "tests/runtime/pe_builder.h"

namespace {

// The bytes, placed so that the first byte after them is on a page that cannot be read.
class GuardedBuffer {
 public:
  explicit GuardedBuffer(const std::vector<uint8_t>& bytes) {
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    dataPages_ = (bytes.size() + page - 1) / page * page;
    length_ = dataPages_ + page;
    void* block = mmap(nullptr, length_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    EXPECT_NE(block, MAP_FAILED);
    base_ = static_cast<uint8_t*>(block);
    mprotect(base_ + dataPages_, page, PROT_NONE);
    data_ = base_ + dataPages_ - bytes.size();
    if (!bytes.empty()) {
      std::memcpy(data_, bytes.data(), bytes.size());
    }
    size_ = bytes.size();
  }
  ~GuardedBuffer() { munmap(base_, length_); }
  GuardedBuffer(const GuardedBuffer&) = delete;
  GuardedBuffer& operator=(const GuardedBuffer&) = delete;

  PeResource find(uint32_t type = kResourceRcData, uint32_t id = kModuleResourceId) const {
    return findPeResource(data_, size_, type, id);
  }
  std::string text(const PeResource& found) const {
    return std::string(reinterpret_cast<const char*>(data_ + found.offset), found.size);
  }

 private:
  uint8_t* base_ = nullptr;
  uint8_t* data_ = nullptr;
  size_t size_ = 0;
  size_t dataPages_ = 0;
  size_t length_ = 0;
};

std::vector<uint8_t> bytesOf(const std::string& text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

std::vector<uint8_t> minimal(PeLayout* layout = nullptr) {
  return buildPe({{kResourceRcData, kModuleResourceId, 0x409, bytesOf("the module bytes")}}, layout);
}

// The reason the reader gives for a malformed file; fails the test when it is not malformed.
std::string rejection(const std::vector<uint8_t>& file) {
  const PeResource found = GuardedBuffer(file).find();
  EXPECT_EQ(found.status, PeResource::Status::Malformed);
  EXPECT_FALSE(found.problem.empty());
  return found.problem;
}

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(PeResources, FindsTheModuleInAMinimalExecutable) {
  PeLayout layout;
  const std::vector<uint8_t> file = minimal(&layout);
  GuardedBuffer buffer(file);
  const PeResource found = buffer.find();
  ASSERT_EQ(found.status, PeResource::Status::Found) << found.problem;
  EXPECT_EQ(found.offset, layout.data);
  EXPECT_EQ(buffer.text(found), "the module bytes");
  EXPECT_TRUE(hasPeSignature(file.data(), file.size()));
}

TEST(PeResources, PicksTypeThenIdThenTheFirstLanguageAmongSeveral) {
  const std::vector<uint8_t> file = buildPe({
      {3, kModuleResourceId, 0x409, bytesOf("an icon")},
      {kResourceRcData, 5, 0x409, bytesOf("other data")},
      {kResourceRcData, kModuleResourceId, 0x409, bytesOf("english")},
      {kResourceRcData, kModuleResourceId, 0x407, bytesOf("german")},
      {kResourceRcData, 2000, 0, bytesOf("after")},
      {16, 1, 0x409, bytesOf("version")},
  });
  GuardedBuffer buffer(file);
  const PeResource found = buffer.find();
  ASSERT_EQ(found.status, PeResource::Status::Found) << found.problem;
  EXPECT_EQ(buffer.text(found), "german");  // 0x407 is listed before 0x409
  EXPECT_EQ(buffer.text(buffer.find(kResourceRcData, 5)), "other data");
  EXPECT_EQ(buffer.text(buffer.find(3, kModuleResourceId)), "an icon");
}

TEST(PeResources, MissingWhenTheExecutableHasNoSuchResource) {
  EXPECT_EQ(GuardedBuffer(buildPe({})).find().status, PeResource::Status::Missing);
  EXPECT_EQ(GuardedBuffer(buildPe({{3, kModuleResourceId, 0x409, bytesOf("icon")}})).find().status,
            PeResource::Status::Missing);
  EXPECT_EQ(GuardedBuffer(buildPe({{kResourceRcData, 1112, 0x409, bytesOf("x")}})).find().status,
            PeResource::Status::Missing);

  PeLayout layout;
  std::vector<uint8_t> noDirectory = minimal(&layout);
  putWord(noDirectory, layout.resourceDirectory, 0);
  putWord(noDirectory, layout.resourceDirectory + 4, 0);
  EXPECT_EQ(GuardedBuffer(noDirectory).find().status, PeResource::Status::Missing);

  std::vector<uint8_t> twoDirectories = minimal(&layout);
  putWord(twoDirectories, layout.numberOfDirectories, 2);  // the resource directory is the third
  EXPECT_EQ(GuardedBuffer(twoDirectories).find().status, PeResource::Status::Missing);
}

TEST(PeResources, RejectsFilesThatAreNotPe32Executables) {
  EXPECT_TRUE(has(rejection(bytesOf("#!/bin/sh\necho hello\n")), "no MZ header"));
  EXPECT_TRUE(has(rejection({}), "no MZ header"));

  PeLayout layout;
  std::vector<uint8_t> dos = minimal(&layout);
  dos[layout.peHeader] = 'N';
  EXPECT_TRUE(has(rejection(dos), "no PE signature"));
  EXPECT_FALSE(hasPeSignature(dos.data(), dos.size()));

  std::vector<uint8_t> wide = minimal(&layout);
  putHalf(wide, layout.optionalHeader, 0x20B);
  EXPECT_TRUE(has(rejection(wide), "64-bit"));

  std::vector<uint8_t> object = minimal(&layout);
  putHalf(object, layout.peHeader + 20, 0);
  EXPECT_TRUE(has(rejection(object), "no optional header"));
}

TEST(PeResources, RejectsEveryTruncation) {
  const std::vector<uint8_t> file = minimal();
  for (size_t length = 0; length < file.size(); ++length) {
    const std::vector<uint8_t> cut(file.begin(), file.begin() + std::ptrdiff_t(length));
    const PeResource found = GuardedBuffer(cut).find();
    EXPECT_EQ(found.status, PeResource::Status::Malformed) << "cut at " << length;
  }
}

TEST(PeResources, RejectsHeaderOffsetsAndSizesPastTheEnd) {
  PeLayout layout;
  std::vector<uint8_t> file = minimal(&layout);
  putWord(file, 0x3C, 0xFFFFFFF0u);
  EXPECT_TRUE(has(rejection(file), "PE header offset 0xfffffff0 lies past the end"));

  file = minimal(&layout);
  putHalf(file, layout.peHeader + 20, 0xFFFF);
  EXPECT_TRUE(has(rejection(file), "optional header"));

  file = minimal(&layout);
  putHalf(file, layout.peHeader + 20, 100);  // room for fewer directories than it claims
  EXPECT_TRUE(has(rejection(file), "too short for its 16 data directories"));

  file = minimal(&layout);
  putHalf(file, layout.peHeader + 6, 0xFFFF);
  EXPECT_TRUE(has(rejection(file), "section table (65535 sections"));

  file = minimal(&layout);
  putWord(file, layout.sectionTable + 20, 0xFFFFFF00u);  // the section's bytes are past the end
  EXPECT_TRUE(has(rejection(file), "resource directory (RVA 0x1000"));

  file = minimal(&layout);
  putWord(file, layout.resourceDirectory + 4, 0xFFFFFFFFu);  // larger than its section
  EXPECT_TRUE(has(rejection(file), "is not inside the file"));

  file = minimal(&layout);
  putWord(file, layout.resourceDirectory, 0x80000000u);  // in no section
  EXPECT_TRUE(has(rejection(file), "is not inside the file"));
}

TEST(PeResources, RejectsTreeOffsetsPastTheEndOfTheTree) {
  PeLayout layout;
  std::vector<uint8_t> file = minimal(&layout);
  putWord(file, layout.typeEntry + 4, 0x80000000u | 0x7FFFFFF0u);
  EXPECT_TRUE(has(rejection(file), "resource directory at offset 0x7ffffff0 lies past the end"));

  file = minimal(&layout);
  putHalf(file, layout.idDirectory + 12, 0xFFFF);  // named entries
  putHalf(file, layout.idDirectory + 14, 0xFFFF);  // id entries
  EXPECT_TRUE(has(rejection(file), "131070 entries"));

  file = minimal(&layout);
  putWord(file, layout.languageEntry + 4, 0x7FFFFFFFu);
  EXPECT_TRUE(has(rejection(file), "data entry of resource 10/1111 at offset 0x7fffffff"));
}

TEST(PeResources, RejectsResourceDataOutsideTheFile) {
  PeLayout layout;
  const std::vector<uint8_t> good = minimal(&layout);
  const uint32_t rva = getWord(good, layout.dataEntry);
  const uint32_t size = getWord(good, layout.dataEntry + 4);

  std::vector<uint8_t> file = good;
  putWord(file, layout.dataEntry + 4, size + 1);  // one byte past the end of the file
  EXPECT_TRUE(has(rejection(file), "the data of resource 10/1111"));

  file = good;
  putWord(file, layout.dataEntry + 4, 0xFFFFFFFFu);
  EXPECT_TRUE(has(rejection(file), "4294967295 bytes) is not inside the file"));

  file = good;
  putWord(file, layout.dataEntry, 0xFFFFFFF8u);  // the end would wrap around
  EXPECT_TRUE(has(rejection(file), "RVA 0xfffffff8"));

  file = good;
  putWord(file, layout.dataEntry, rva - 0x1000);  // before the section
  EXPECT_TRUE(has(rejection(file), "is not inside the file"));
}

TEST(PeResources, DetectsLoopsInTheTree) {
  PeLayout layout;
  std::vector<uint8_t> file = minimal(&layout);
  putWord(file, layout.typeEntry + 4, 0x80000000u);  // the type's directory is the root
  EXPECT_TRUE(has(rejection(file), "loop in the resource tree"));

  file = minimal(&layout);
  putWord(file, layout.idEntry + 4, 0x80000000u | uint32_t(layout.typeDirectory - layout.tree));
  EXPECT_TRUE(has(rejection(file), "loop in the resource tree"));

  file = minimal(&layout);
  putWord(file, layout.languageEntry + 4, 0x80000000u | uint32_t(layout.idDirectory - layout.tree));
  EXPECT_TRUE(has(rejection(file), "loop in the resource tree"));
}

TEST(PeResources, RejectsDataAndDirectoriesInEachOthersPlace) {
  PeLayout layout;
  std::vector<uint8_t> file = minimal(&layout);
  putWord(file, layout.typeEntry + 4, uint32_t(layout.dataEntry - layout.tree));
  EXPECT_TRUE(has(rejection(file), "resource type 10 is data where a directory belongs"));

  file = minimal(&layout);
  putWord(file, layout.languageEntry + 4, 0x80000000u | uint32_t(layout.dataEntry - layout.tree));
  EXPECT_TRUE(has(rejection(file), "is a directory where data belongs"));

  file = minimal(&layout);
  putHalf(file, layout.idDirectory + 14, 0);
  EXPECT_TRUE(has(rejection(file), "lists no language"));
}

// Mutations of a valid executable never make the reader fail unsafely: it finds a range
// inside the file, says the resource is missing, or gives a reason.
TEST(PeResources, SeededFuzzOfMutatedExecutablesStaysInBounds) {
  const std::vector<uint8_t> original = buildPe({
      {kResourceRcData, kModuleResourceId, 0x409, bytesOf("module one")},
      {kResourceRcData, kModuleResourceId, 0x407, bytesOf("module two")},
      {3, 1, 0x409, bytesOf("icon")},
  });
  const uint32_t interesting[] = {0,           1,           0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu,
                                  0x80000010u, 0x80000018u, 0x1000,      0x200,       uint32_t(original.size())};
  std::mt19937 random(20261209);
  int found = 0;
  int malformed = 0;
  for (int round = 0; round < 4000; ++round) {
    std::vector<uint8_t> file = original;
    const int mutations = 1 + int(random() % 4);
    for (int m = 0; m < mutations; ++m) {
      const size_t at = random() % (file.size() - 4);
      switch (random() % 3) {
        case 0: file[at] = uint8_t(random()); break;
        case 1: putWord(file, at, interesting[random() % std::size(interesting)]); break;
        default: file[at] ^= uint8_t(1u << (random() % 8)); break;
      }
    }
    if (random() % 8 == 0) {
      file.resize(random() % file.size());
    }
    const PeResource result = GuardedBuffer(file).find();
    if (result.status == PeResource::Status::Found) {
      ++found;
      EXPECT_LE(result.offset, file.size());
      EXPECT_LE(result.size, file.size() - result.offset);
    } else if (result.status == PeResource::Status::Malformed) {
      ++malformed;
      EXPECT_FALSE(result.problem.empty());
    }
  }
  // The fuzz reaches both outcomes, so it exercises the checks and the lookup.
  EXPECT_GT(found, 100);
  EXPECT_GT(malformed, 100);
}

}  // namespace
