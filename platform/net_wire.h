// Little-endian packing and bounds-checked unpacking of the session layer's packets.
// A reader never reads past its bytes: a short read marks it failed and yields zeros,
// so a parser checks ok() (or finished()) once at the end instead of after each field.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

class WireWriter {
 public:
  void u8(uint8_t v) { bytes_.push_back(v); }
  void u16(uint16_t v) {
    u8(uint8_t(v));
    u8(uint8_t(v >> 8));
  }
  void u32(uint32_t v) {
    u16(uint16_t(v));
    u16(uint16_t(v >> 16));
  }
  void raw(const void* data, size_t size) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    bytes_.insert(bytes_.end(), p, p + size);
  }
  // A 16-bit length, then the bytes.
  void text(const std::string& s) {
    u16(uint16_t(s.size()));
    raw(s.data(), s.size());
  }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

class WireReader {
 public:
  WireReader(const void* data, size_t size) : p_(static_cast<const uint8_t*>(data)), left_(size) {}

  uint8_t u8() { return take(1) ? p_[-1] : 0; }
  uint16_t u16() {
    const uint16_t lo = u8();
    return uint16_t(lo | u8() << 8);
  }
  uint32_t u32() {
    const uint32_t lo = u16();
    return lo | uint32_t(u16()) << 16;
  }
  void raw(void* out, size_t size) {
    if (take(size)) {
      std::memcpy(out, p_ - size, size);
    } else {
      std::memset(out, 0, size);
    }
  }
  // A 16-bit length and the bytes; a length above maxSize fails the reader.
  std::string text(size_t maxSize) {
    const size_t size = u16();
    if (size > maxSize || !take(size)) {
      ok_ = false;
      return std::string();
    }
    return std::string(reinterpret_cast<const char*>(p_ - size), size);
  }
  const uint8_t* rest() const { return p_; }
  size_t left() const { return left_; }
  bool ok() const { return ok_; }
  // Every field was there and nothing is left over.
  bool finished() const { return ok_ && left_ == 0; }

 private:
  bool take(size_t size) {
    if (!ok_ || size > left_) {
      ok_ = false;
      return false;
    }
    p_ += size;
    left_ -= size;
    return true;
  }

  const uint8_t* p_;
  size_t left_;
  bool ok_ = true;
};
