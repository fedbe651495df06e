// ksStream: the one interface of every byte channel a program opens (files, TCP, UDP),
// with the registry of live streams that makes a stream handle checkable. The stream
// commands, banks and every stream kind build on this header.
#pragma once
#include <cstdint>
#include <string_view>

class ksStream {
 public:
  ksStream();
  virtual ~ksStream();
  ksStream(const ksStream&) = delete;
  ksStream& operator=(const ksStream&) = delete;

  // Places up to count bytes in buffer; returns how many arrived (0 ... count).
  virtual int read(void* buffer, int count) = 0;
  // Returns how many of count bytes the stream accepted.
  virtual int write(const void* buffer, int count) = 0;
  // Bytes that can be read now without waiting.
  virtual int avail() = 0;
  // 0 while the stream can still deliver data; 1 ended, -1 failed.
  virtual int eof() = 0;

  // Optional fast path for kinds with a read buffer: the bytes the next reads would
  // deliver without waiting, and skipping them as those reads would. Kinds without
  // one keep these defaults, and callers fall back to read.
  virtual std::string_view buffered() { return {}; }
  virtual void skip(int count) { (void)count; }
};

// Whether a stream of any kind with this address exists now.
bool isLiveStream(const ksStream* stream);

// Raises "Stream does not exist" unless the stream is live.
void checkStream(const ksStream* stream);

// The stream a program handle names. In debug mode a handle that is not a live stream
// raises "Stream does not exist"; otherwise the handle is trusted.
inline ksStream* streamFromHandle(int32_t handle) {
  extern bool debugMode;
  ksStream* const stream = reinterpret_cast<ksStream*>(static_cast<intptr_t>(handle));
  if (__builtin_expect(debugMode, false)) {
    checkStream(stream);
  }
  return stream;
}

inline int32_t streamHandle(const ksStream* stream) {
  return static_cast<int32_t>(reinterpret_cast<intptr_t>(stream));
}
