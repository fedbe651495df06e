// File streams: a ksStream over one open file with a 4,096-byte buffer shared by
// reading and writing, as the stream commands and the filesystem module use it.
#pragma once
#include <cstdint>
#include <string_view>

#include "streams/stream.h"

class FileStream final : public ksStream {
 public:
  enum class Mode {
    ReadWrite,  // an existing file, for reading and writing
    Read,       // an existing file, for reading only
    Write,      // created or truncated, for writing only
  };
  static constexpr int kBufferSize = 4096;

  // Resolves the program's path and opens it; null if that fails or names a directory.
  static FileStream* open(std::string_view programPath, Mode mode);
  ~FileStream() override;  // flushes pending output and closes the file

  int read(void* buffer, int count) override;
  int write(const void* buffer, int count) override;
  // Bytes held in the read buffer and not yet consumed; never asks the file itself.
  int avail() override;
  // Peeks at the next byte (filling the buffer): 1 if none can be read, else 0.
  int eof() override;
  std::string_view buffered() override;
  void skip(int count) override;

  // Both flush pending output and drop the read buffer; -1 on failure.
  int64_t position();
  int64_t seek(int64_t offset);  // absolute; a negative offset fails, nothing moves

 private:
  FileStream(int fd, bool readable, bool writable);
  __attribute__((noinline)) int readSlow(void* buffer, int count);
  __attribute__((noinline)) int writeSlow(const void* buffer, int count);
  int fill();
  bool flushOutput();
  void dropReadBuffer();

  const int fd_;
  const bool readable_;
  const bool writable_;
  int readPos_ = 0;  // the read buffer is buffer_[readPos_, readEnd_)
  int readEnd_ = 0;
  int pending_ = 0;  // output waiting in buffer_[0, pending_)
  char buffer_[kBufferSize];
};
