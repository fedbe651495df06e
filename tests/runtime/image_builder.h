// Builds module image bytes for tests, record by record.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

class ImageBuilder {
 public:
  explicit ImageBuilder(std::vector<uint8_t> code) : code_(std::move(code)) {}
  ImageBuilder& symbol(const std::string& name, int32_t offset) { return add(symbols_, name, offset); }
  ImageBuilder& relative(const std::string& name, int32_t offset) { return add(relative_, name, offset); }
  ImageBuilder& absolute(const std::string& name, int32_t offset) { return add(absolute_, name, offset); }

  std::vector<uint8_t> bytes() const {
    std::vector<uint8_t> out;
    word(out, int32_t(code_.size()));
    out.insert(out.end(), code_.begin(), code_.end());
    for (const auto* table : {&symbols_, &relative_, &absolute_}) {
      word(out, int32_t(table->size()));
      for (const auto& [name, offset] : *table) {
        out.insert(out.end(), name.begin(), name.end());
        out.push_back(0);
        word(out, offset);
      }
    }
    return out;
  }

  static void word(std::vector<uint8_t>& out, int32_t value) {
    for (int i = 0; i < 4; ++i) {
      out.push_back(uint8_t(uint32_t(value) >> (8 * i)));
    }
  }

 private:
  using Table = std::vector<std::pair<std::string, int32_t>>;
  ImageBuilder& add(Table& table, const std::string& name, int32_t offset) {
    table.emplace_back(name, offset);
    return *this;
  }
  std::vector<uint8_t> code_;
  Table symbols_;
  Table relative_;
  Table absolute_;
};
