#include "runtime/pe_resources.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Layout of the PE32 headers, as offsets from the start of each structure.
constexpr size_t kDosHeaderSize = 64;
constexpr size_t kPeOffsetField = 0x3C;
constexpr size_t kFileHeaderSize = 20;    // after the 4-byte "PE\0\0"
constexpr size_t kSectionCountField = 2;  // in the file header
constexpr size_t kOptionalSizeField = 16;
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr size_t kDirectoryCountField = 92;  // in the PE32 optional header
constexpr size_t kDataDirectories = 96;
constexpr uint32_t kResourceDirectoryIndex = 2;
constexpr uint32_t kMaxDataDirectories = 16;
constexpr size_t kSectionHeaderSize = 40;
constexpr size_t kResourceDirectorySize = 16;
constexpr size_t kResourceEntrySize = 8;
constexpr size_t kResourceDataEntrySize = 16;
constexpr uint32_t kHighBit = 0x80000000u;

uint16_t half(const uint8_t* p) {
  return uint16_t(p[0] | p[1] << 8);
}

uint32_t word(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

std::string hex(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
  return text;
}

// Whether [offset, offset + length) lies inside a buffer of `size` bytes, without overflow.
bool inside(uint64_t offset, uint64_t length, uint64_t size) {
  return offset <= size && length <= size - offset;
}

struct Section {
  uint32_t address;    // relative virtual address
  uint32_t fileBytes;  // bytes backed by the file: raw size, cut to the virtual size
  uint32_t fileOffset;
};

// The resource directory tree: every offset in it is relative to its start and must
// stay inside `size` bytes.
struct Tree {
  const uint8_t* base;
  uint32_t size;
};

struct Entry {
  uint32_t name;   // integer id, or a name offset with the high bit set
  uint32_t value;  // data entry offset, or a subdirectory offset with the high bit set
};

class PeFile {
 public:
  PeFile(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  PeResource find(uint32_t type, uint32_t id) {
    uint32_t rva = 0;
    uint32_t length = 0;
    if (!readHeaders(rva, length)) {
      return result_;
    }
    if (rva == 0 || length == 0) {
      return missing();
    }
    size_t treeOffset = 0;
    if (!fileRange(rva, length, treeOffset)) {
      return malformed("the resource directory (RVA " + hex(rva) + ", " + std::to_string(length) +
                       " bytes) is not inside the file");
    }
    tree_ = Tree{data_ + treeOffset, length};
    path_.push_back(0);
    uint32_t typeDirectory = 0;
    uint32_t idDirectory = 0;
    const std::string what = "resource " + std::to_string(type) + "/" + std::to_string(id);
    if (!child(0, type, "resource type " + std::to_string(type), typeDirectory) ||
        !child(typeDirectory, id, what, idDirectory)) {
      return result_;
    }
    return firstLanguage(idDirectory, what);
  }

 private:
  PeResource malformed(const std::string& problem) {
    result_.status = PeResource::Status::Malformed;
    result_.problem = problem;
    return result_;
  }

  PeResource missing() {
    result_.status = PeResource::Status::Missing;
    return result_;
  }

  // The resource data directory's RVA and size (zero when there is none), after
  // checking the headers and reading the section table.
  bool readHeaders(uint32_t& rva, uint32_t& length) {
    if (size_ < kDosHeaderSize || data_[0] != 'M' || data_[1] != 'Z') {
      malformed("not a Windows executable (no MZ header)");
      return false;
    }
    const uint32_t pe = word(data_ + kPeOffsetField);
    if (!inside(pe, 4 + kFileHeaderSize, size_)) {
      malformed("the PE header offset " + hex(pe) + " lies past the end of the file (" +
                std::to_string(size_) + " bytes)");
      return false;
    }
    if (word(data_ + pe) != 0x00004550) {
      malformed("no PE signature at " + hex(pe) + " (an MS-DOS program?)");
      return false;
    }
    const uint8_t* fileHeader = data_ + pe + 4;
    const uint32_t sectionCount = half(fileHeader + kSectionCountField);
    const uint32_t optionalSize = half(fileHeader + kOptionalSizeField);
    const uint64_t optional = uint64_t(pe) + 4 + kFileHeaderSize;
    if (!inside(optional, optionalSize, size_)) {
      malformed("truncated: the optional header (" + std::to_string(optionalSize) + " bytes at " +
                hex(optional) + ") runs past the end of the file");
      return false;
    }
    if (optionalSize < 2) {
      malformed("no optional header: an object file, not an executable");
      return false;
    }
    const uint16_t magic = half(data_ + optional);
    if (magic == kPe32PlusMagic) {
      malformed("a 64-bit executable (PE32+); Kestrel games are 32-bit");
      return false;
    }
    if (magic != kPe32Magic) {
      malformed("unknown optional header kind " + hex(magic));
      return false;
    }
    if (optionalSize < kDataDirectories) {
      malformed("the optional header is too short (" + std::to_string(optionalSize) + " bytes)");
      return false;
    }
    const uint32_t directories = std::min(word(data_ + optional + kDirectoryCountField), kMaxDataDirectories);
    if (kDataDirectories + 8ull * directories > optionalSize) {
      malformed("the optional header (" + std::to_string(optionalSize) + " bytes) is too short for its " +
                std::to_string(directories) + " data directories");
      return false;
    }
    const uint64_t table = optional + optionalSize;
    if (!inside(table, uint64_t(sectionCount) * kSectionHeaderSize, size_)) {
      malformed("truncated: the section table (" + std::to_string(sectionCount) + " sections at " +
                hex(table) + ") runs past the end of the file");
      return false;
    }
    for (uint32_t i = 0; i < sectionCount; ++i) {
      const uint8_t* s = data_ + table + i * kSectionHeaderSize;
      const uint32_t virtualSize = word(s + 8);
      const uint32_t rawSize = word(s + 16);
      // Bytes past the virtual size are not part of the image.
      const uint32_t fileBytes = virtualSize ? std::min(virtualSize, rawSize) : rawSize;
      sections_.push_back(Section{word(s + 12), fileBytes, word(s + 20)});
    }
    if (directories <= kResourceDirectoryIndex) {
      return true;
    }
    const uint8_t* directory = data_ + optional + kDataDirectories + 8 * kResourceDirectoryIndex;
    rva = word(directory);
    length = word(directory + 4);
    return true;
  }

  // The file offset of `length` bytes at `rva`, when one section holds them all and the
  // file has them.
  bool fileRange(uint32_t rva, uint32_t length, size_t& offset) const {
    for (const Section& s : sections_) {
      if (rva >= s.address && inside(rva - s.address, length, s.fileBytes) &&
          inside(uint64_t(s.fileOffset) + (rva - s.address), length, size_)) {
        offset = size_t(s.fileOffset) + (rva - s.address);
        return true;
      }
    }
    return false;
  }

  // The entries of the directory at `offset` in the tree; false (and malformed) when
  // the directory or its entries run past the tree.
  bool entries(uint32_t offset, std::vector<Entry>& list) {
    if (!inside(offset, kResourceDirectorySize, tree_.size)) {
      malformed("a resource directory at offset " + hex(offset) + " lies past the end of the resource tree (" +
                std::to_string(tree_.size) + " bytes)");
      return false;
    }
    const uint8_t* header = tree_.base + offset;
    const uint32_t count = uint32_t(half(header + 12)) + half(header + 14);
    if (!inside(uint64_t(offset) + kResourceDirectorySize, uint64_t(count) * kResourceEntrySize, tree_.size)) {
      malformed("the " + std::to_string(count) + " entries of the resource directory at offset " + hex(offset) +
                " run past the end of the resource tree");
      return false;
    }
    list.clear();
    for (uint32_t i = 0; i < count; ++i) {
      const uint8_t* e = header + kResourceDirectorySize + i * kResourceEntrySize;
      list.push_back(Entry{word(e), word(e + 4)});
    }
    return true;
  }

  // A subdirectory offset that leads back to a directory on the way down is a loop.
  bool enter(const Entry& entry, const std::string& what, uint32_t& directory) {
    directory = entry.value & ~kHighBit;
    if (std::find(path_.begin(), path_.end(), directory) != path_.end()) {
      malformed("loop in the resource tree: the directory of " + what + " at offset " + hex(directory) +
                " is one of its own parents");
      return false;
    }
    path_.push_back(directory);
    return true;
  }

  // The subdirectory under integer id `id` of the directory at `parent`.
  bool child(uint32_t parent, uint32_t id, const std::string& what, uint32_t& directory) {
    std::vector<Entry> list;
    if (!entries(parent, list)) {
      return false;
    }
    for (const Entry& entry : list) {
      if (entry.name != id) {
        continue;  // another id, or a named entry (high bit set)
      }
      if (!(entry.value & kHighBit)) {
        malformed("the entry of " + what + " is data where a directory belongs");
        return false;
      }
      return enter(entry, what, directory);
    }
    missing();
    return false;
  }

  PeResource firstLanguage(uint32_t directory, const std::string& what) {
    std::vector<Entry> list;
    if (!entries(directory, list)) {
      return result_;
    }
    if (list.empty()) {
      return malformed(what + " lists no language");
    }
    const Entry& first = list.front();
    if (first.value & kHighBit) {
      uint32_t deeper = 0;
      if (!enter(first, what, deeper)) {
        return result_;
      }
      return malformed("the language entry of " + what + " is a directory where data belongs");
    }
    if (!inside(first.value, kResourceDataEntrySize, tree_.size)) {
      return malformed("the data entry of " + what + " at offset " + hex(first.value) +
                       " lies past the end of the resource tree");
    }
    const uint8_t* dataEntry = tree_.base + first.value;
    const uint32_t rva = word(dataEntry);
    const uint32_t length = word(dataEntry + 4);
    size_t offset = 0;
    if (!fileRange(rva, length, offset)) {
      return malformed("the data of " + what + " (RVA " + hex(rva) + ", " + std::to_string(length) +
                       " bytes) is not inside the file");
    }
    result_.status = PeResource::Status::Found;
    result_.offset = offset;
    result_.size = length;
    return result_;
  }

  const uint8_t* data_;
  size_t size_;
  std::vector<Section> sections_;
  Tree tree_{nullptr, 0};
  std::vector<uint32_t> path_;  // directory offsets from the root down
  PeResource result_;
};

}  // namespace

bool hasPeSignature(const uint8_t* data, size_t size) {
  if (size < kDosHeaderSize || data[0] != 'M' || data[1] != 'Z') {
    return false;
  }
  const uint32_t pe = word(data + kPeOffsetField);
  return inside(pe, 4, size) && word(data + pe) == 0x00004550;
}

PeResource findPeResource(const uint8_t* data, size_t size, uint32_t type, uint32_t id) {
  return PeFile(data, size).find(type, id);
}
