// An in-memory ksStream for tests: appends writes, reads from a cursor, and can be
// told to deliver short reads and to report a fixed end state.
#pragma once
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "streams/stream.h"

class MemoryStream : public ksStream {
 public:
  MemoryStream() = default;
  explicit MemoryStream(std::vector<uint8_t> bytes) : data(std::move(bytes)) {}

  int read(void* buffer, int count) override {
    requested.push_back(count);
    const size_t left = data.size() - cursor;
    const int n = static_cast<int>(std::min<size_t>({static_cast<size_t>(count), left,
                                                     static_cast<size_t>(maxRead)}));
    std::memcpy(buffer, data.data() + cursor, static_cast<size_t>(n));
    cursor += static_cast<size_t>(n);
    return n;
  }
  int write(const void* buffer, int count) override {
    written.push_back(count);
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    data.insert(data.end(), bytes, bytes + count);
    return count;
  }
  int avail() override { return static_cast<int>(data.size() - cursor); }
  int eof() override { return fixedEof != kFollowData ? fixedEof : (cursor >= data.size()); }
  // With bufferedBytes set, up to that many unread bytes are offered as held data.
  std::string_view buffered() override {
    const size_t held = std::min(data.size() - cursor, bufferedBytes);
    return std::string_view(reinterpret_cast<const char*>(data.data()) + cursor, held);
  }
  void skip(int count) override { cursor += static_cast<size_t>(count); }

  int32_t handle() const { return streamHandle(this); }

  static constexpr int kFollowData = INT_MIN;
  std::vector<uint8_t> data;
  size_t cursor = 0;
  int maxRead = INT_MAX;         // most bytes one read delivers
  size_t bufferedBytes = 0;      // bytes offered through buffered(); none by default
  int fixedEof = kFollowData;    // what eof reports; by default whether data is left
  std::vector<int> requested;    // counts asked of read, in order
  std::vector<int> written;      // counts handed to write, in order
};
