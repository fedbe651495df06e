// The byte string inside every ksStr. It either owns a heap buffer, which stays with
// the node when the string is released so that the node's next value needs no heap
// call, or it borrows text that outlives it: a literal in the program's data, or "".
// A borrowed literal's length is measured on first use, so a string made from a
// literal costs two stores.
#pragma once
#include <cstddef>
#include <cstring>
#include <string_view>

class ksStrValue {
 public:
  ksStrValue() = default;
  ksStrValue(const ksStrValue&) = delete;
  ksStrValue& operator=(const ksStrValue&) = delete;
  ~ksStrValue() { freeBuffer(); }

  std::string_view view() const { return {text_, size()}; }
  // Zero-terminated; it stops early at a zero byte inside the value.
  const char* c_str() const { return text_; }
  size_t size() const {
    if (size_ == kUnmeasured) {
      size_ = std::strlen(text_);
    }
    return size_;
  }
  bool empty() const { return size() == 0; }
  char operator[](size_t i) const { return text_[i]; }
  // Bytes of the buffer the node keeps (0 when it has none).
  size_t capacity() const { return capacity_; }

  // Borrowing: the text must stay unchanged while this value (or a share of it) lives.
  void borrow(const char* literal) {
    text_ = literal;
    size_ = kUnmeasured;
  }
  void clear() {
    text_ = kEmpty;
    size_ = 0;
  }
  // Whether the bytes are in this value's own buffer (rather than borrowed).
  bool ownsText() const { return buffer_ && text_ == buffer_; }
  // Borrows what `other` borrows (which must not be owned text).
  void shareText(const ksStrValue& other) {
    text_ = other.text_;
    size_ = other.size_;
  }
  // A copy of `other`: borrowed text is shared, owned bytes are copied.
  void copyFrom(const ksStrValue& other) {
    if (other.ownsText()) {
      assign(other.view());
    } else {
      shareText(other);
    }
  }

  // Mutable bytes (size() of them, then a terminator); borrowed text is copied first.
  char* data() { return own(size()); }
  void assign(std::string_view bytes);
  void append(std::string_view bytes);
  void push_back(char c) { append(std::string_view(&c, 1)); }
  void resize(size_t size, char fill = '\0');
  void reserve(size_t capacity) { own(capacity < size() ? size() : capacity); }
  // Keeps `count` bytes from `first` on (both already within the value).
  void keep(size_t first, size_t count);

  // Gives the buffer back to the heap; the value reads as "".
  void freeBuffer();

 private:
  static constexpr size_t kUnmeasured = ~size_t{0};
  static constexpr const char* kEmpty = "";

  // Makes the text owned with room for `needed` bytes, keeping its current bytes.
  char* own(size_t needed);
  char* grow(size_t needed);

  const char* text_ = kEmpty;
  mutable size_t size_ = 0;
  char* buffer_ = nullptr;
  size_t capacity_ = 0;
};
