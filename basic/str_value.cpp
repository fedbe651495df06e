// The growing side of ksStrValue: buffers come from the heap, double as they grow, and
// always hold a terminator after the bytes.
#include "basic/str_value.h"

#include <cstdint>
#include <cstdlib>
#include <new>

namespace {

// Values are indexed by 32-bit integers in the language; this keeps sizes and their
// doubling far from overflow.
constexpr size_t kMaxSize = 0x7FFFFFF0;
constexpr size_t kSmallestBuffer = 31;

bool within(const char* p, const char* begin, size_t size) {
  const auto at = reinterpret_cast<uintptr_t>(p);
  const auto from = reinterpret_cast<uintptr_t>(begin);
  return begin && at >= from && at - from < size;
}

}  // namespace

char* ksStrValue::own(size_t needed) {
  const size_t length = size();
  if (needed < length) {
    needed = length;
  }
  if (ownsText() && needed <= capacity_) {
    return buffer_;
  }
  if (!buffer_ || needed > capacity_) {
    return grow(needed);
  }
  // Borrowed text copied into the buffer the node already has.
  std::memcpy(buffer_, text_, length);
  buffer_[length] = '\0';
  text_ = buffer_;
  return buffer_;
}

char* ksStrValue::grow(size_t needed) {
  if (needed > kMaxSize) {
    throw std::bad_alloc();
  }
  size_t capacity = capacity_ * 2 > kSmallestBuffer ? capacity_ * 2 : kSmallestBuffer;
  if (capacity < needed) {
    capacity = needed;
  }
  char* const fresh = static_cast<char*>(std::malloc(capacity + 1));
  if (!fresh) {
    throw std::bad_alloc();
  }
  const size_t length = size();
  std::memcpy(fresh, text_, length);
  fresh[length] = '\0';
  std::free(buffer_);
  buffer_ = fresh;
  capacity_ = capacity;
  text_ = buffer_;
  return buffer_;
}

void ksStrValue::assign(std::string_view bytes) {
  if (within(bytes.data(), buffer_, capacity_ + 1) && ownsText()) {
    keep(static_cast<size_t>(bytes.data() - buffer_), bytes.size());
    return;
  }
  clear();
  char* const to = own(bytes.size());
  std::memmove(to, bytes.data(), bytes.size());
  to[bytes.size()] = '\0';
  size_ = bytes.size();
}

void ksStrValue::append(std::string_view bytes) {
  const size_t length = size();
  if (bytes.size() > kMaxSize - length) {
    throw std::bad_alloc();
  }
  // Appending part of the value to itself: the bytes move if the buffer grows.
  const bool fromSelf = ownsText() && within(bytes.data(), buffer_, length);
  const size_t offset = fromSelf ? static_cast<size_t>(bytes.data() - buffer_) : 0;
  char* const to = own(length + bytes.size());
  const char* const from = fromSelf ? to + offset : bytes.data();
  std::memcpy(to + length, from, bytes.size());
  size_ = length + bytes.size();
  to[size_] = '\0';
}

void ksStrValue::resize(size_t size, char fill) {
  const size_t length = this->size();
  char* const to = own(size);
  if (size > length) {
    std::memset(to + length, fill, size - length);
  }
  size_ = size;
  to[size_] = '\0';
}

void ksStrValue::keep(size_t first, size_t count) {
  if (!ownsText()) {
    // Borrowed text is never written: a slice of it is still a borrow only when it
    // reaches the end (the terminator must follow), so copy it instead.
    const std::string_view slice = view().substr(first, count);
    if (first + count == size()) {
      text_ = slice.data();
      size_ = count;
      return;
    }
    clear();
    char* const to = own(count);
    std::memcpy(to, slice.data(), count);
    to[count] = '\0';
    size_ = count;
    return;
  }
  std::memmove(buffer_, buffer_ + first, count);
  buffer_[count] = '\0';
  size_ = count;
}

void ksStrValue::freeBuffer() {
  std::free(buffer_);
  buffer_ = nullptr;
  capacity_ = 0;
  clear();
}
