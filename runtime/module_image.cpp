#include "runtime/module_image.h"

#include <cctype>
#include <cstring>

namespace {

class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool word(int32_t& value) {
    if (size_ - pos_ < 4) {
      return false;
    }
    const uint8_t* p = data_ + pos_;
    value = int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
    pos_ += 4;
    return true;
  }

  bool bytes(size_t count, const uint8_t*& start) {
    if (size_ - pos_ < count) {
      return false;
    }
    start = data_ + pos_;
    pos_ += count;
    return true;
  }

  bool name(std::string& text) {
    const void* zero = std::memchr(data_ + pos_, 0, size_ - pos_);
    if (!zero) {
      return false;
    }
    const size_t length = size_t(static_cast<const uint8_t*>(zero) - (data_ + pos_));
    text.assign(reinterpret_cast<const char*>(data_ + pos_), length);
    pos_ += length + 1;
    return true;
  }

  size_t remaining() const { return size_ - pos_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// A table of records; every offset must satisfy the bound (symbol or patch site).
bool readTable(Reader& in, std::vector<ModuleRecord>& table, bool (*inCode)(int32_t, int32_t),
               int32_t codeSize) {
  int32_t count = 0;
  if (!in.word(count)) {
    return false;
  }
  if (count <= 0) {
    return true;
  }
  // Every record takes at least a zero byte and a 4-byte offset.
  if (size_t(count) > in.remaining() / 5) {
    return false;
  }
  table.reserve(size_t(count));
  for (int32_t i = 0; i < count; ++i) {
    ModuleRecord record;
    if (!in.name(record.name) || !in.word(record.offset) || !inCode(record.offset, codeSize)) {
      return false;
    }
    table.push_back(std::move(record));
  }
  return true;
}

bool symbolInCode(int32_t offset, int32_t codeSize) {
  return offset >= 0 && offset < codeSize;
}

bool siteInCode(int32_t offset, int32_t codeSize) {
  return offset >= 0 && codeSize >= 4 && offset <= codeSize - 4;
}

}  // namespace

std::optional<ModuleImage> readModuleImage(const uint8_t* data, size_t size) {
  Reader in(data, size);
  ModuleImage image;
  if (!in.word(image.codeSize) || image.codeSize < 0 ||
      !in.bytes(size_t(image.codeSize), image.code)) {
    return std::nullopt;
  }
  if (!readTable(in, image.symbols, symbolInCode, image.codeSize) ||
      !readTable(in, image.relativeFixups, siteInCode, image.codeSize) ||
      !readTable(in, image.absoluteFixups, siteInCode, image.codeSize)) {
    return std::nullopt;
  }
  return image;
}

std::string linkName(const char* signature) {
  if (signature[0] == '_') {
    return std::string("_") + signature;
  }
  const char* p = signature;
  if (*p && !std::isalnum(static_cast<unsigned char>(*p))) {
    ++p;  // the result sigil
  }
  std::string name = "_f";
  for (; *p; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (!std::isalnum(c) && c != '_') {
      break;
    }
    name += char(std::tolower(c));
  }
  return name;
}
