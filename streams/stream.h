// ksStream: the one interface of every byte channel a program opens (files, TCP, UDP),
// with the registry of live streams that makes a stream handle checkable. The stream
// commands, banks and every stream kind build on this header.
#pragma once
#include <cstdint>

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
};

// Whether a stream of any kind with this address exists now.
bool isLiveStream(const ksStream* stream);

// The stream a program handle names. In debug mode a handle that is not a live stream
// raises "Stream does not exist"; otherwise the handle is trusted.
ksStream* streamFromHandle(int32_t handle);

inline int32_t streamHandle(const ksStream* stream) {
  return static_cast<int32_t>(reinterpret_cast<intptr_t>(stream));
}
