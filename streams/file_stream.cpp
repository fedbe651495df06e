// File streams over a POSIX file descriptor. The buffer serves one direction at a
// time: reading flushes pending output first, writing first gives back (seeks over)
// the read-ahead that was not consumed, so the file position stays the program's.
#include "streams/file_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/paths.h"
#include "streams/fd_io.h"

FileStream* FileStream::open(std::string_view programPath, Mode mode) {
  int flags = 0;
  switch (mode) {
    case Mode::ReadWrite: flags = O_RDWR; break;
    case Mode::Read: flags = O_RDONLY; break;
    case Mode::Write: flags = O_WRONLY | O_CREAT | O_TRUNC; break;
  }
  const std::string path = resolvePath(programPath);
  const int fd = openRegularFile(path.c_str(), flags, 0666);
  if (fd < 0) {
    return nullptr;
  }
  return new FileStream(fd, mode != Mode::Write, mode != Mode::Read);
}

FileStream::FileStream(int fd, bool readable, bool writable)
    : fd_(fd), readable_(readable), writable_(writable) {}

FileStream::~FileStream() {
  flushOutput();
  ::close(fd_);
}

// Single bytes from the buffer take a path with no call and no frame; the rest go on.
int FileStream::read(void* buffer, int count) {
  if (count == 1 && readPos_ < readEnd_) {
    *static_cast<char*>(buffer) = buffer_[readPos_++];
    return 1;
  }
  return readSlow(buffer, count);
}

int FileStream::readSlow(void* buffer, int count) {
  if (!readable_ || count <= 0) {
    return 0;
  }
  if (pending_ > 0 && !flushOutput()) {
    return 0;
  }
  char* const out = static_cast<char*>(buffer);
  int done = std::min(count, readEnd_ - readPos_);
  std::memcpy(out, buffer_ + readPos_, static_cast<size_t>(done));
  readPos_ += done;
  while (done < count) {
    const int remaining = count - done;
    if (remaining >= kBufferSize) {
      // Whole blocks go straight to the caller, bypassing the buffer.
      const int got = readSome(fd_, out + done, remaining - remaining % kBufferSize);
      if (got == 0) {
        break;
      }
      done += got;
    } else {
      if (fill() == 0) {
        break;
      }
      const int take = std::min(remaining, readEnd_);
      std::memcpy(out + done, buffer_, static_cast<size_t>(take));
      readPos_ = take;
      done += take;
    }
  }
  return done;
}

int FileStream::write(const void* buffer, int count) {
  if (count == 1 && writable_ && readEnd_ == 0 && pending_ < kBufferSize) {
    buffer_[pending_++] = *static_cast<const char*>(buffer);
    return 1;
  }
  return writeSlow(buffer, count);
}

int FileStream::writeSlow(const void* buffer, int count) {
  if (!writable_ || count <= 0) {
    return 0;
  }
  if (readEnd_ > 0) {
    dropReadBuffer();
  }
  const char* const in = static_cast<const char*>(buffer);
  if (count <= kBufferSize - pending_) {
    std::memcpy(buffer_ + pending_, in, static_cast<size_t>(count));
    pending_ += count;
    return count;
  }
  if (!flushOutput()) {
    return 0;
  }
  if (count >= kBufferSize) {
    return writeAll(fd_, in, count);
  }
  std::memcpy(buffer_, in, static_cast<size_t>(count));
  pending_ = count;
  return count;
}

int FileStream::avail() { return readEnd_ - readPos_; }

std::string_view FileStream::buffered() {
  return std::string_view(buffer_ + readPos_, static_cast<size_t>(readEnd_ - readPos_));
}

void FileStream::skip(int count) { readPos_ += std::min(count, readEnd_ - readPos_); }

// A file opened for writing only can never deliver a byte, so it always reports 1.
int FileStream::eof() {
  if (!readable_) {
    return 1;
  }
  if (readPos_ < readEnd_) {
    return 0;
  }
  if (pending_ > 0 && !flushOutput()) {
    return 1;
  }
  return fill() == 0 ? 1 : 0;
}

int64_t FileStream::position() {
  flushOutput();
  dropReadBuffer();
  return ::lseek(fd_, 0, SEEK_CUR);
}

int64_t FileStream::seek(int64_t offset) {
  flushOutput();
  dropReadBuffer();
  if (offset < 0) {
    return -1;
  }
  return ::lseek(fd_, offset, SEEK_SET);
}

int FileStream::fill() {
  readPos_ = 0;
  readEnd_ = readSome(fd_, buffer_, kBufferSize);
  return readEnd_;
}

// Output that cannot be written is dropped, so a failing file does not retry forever.
bool FileStream::flushOutput() {
  if (pending_ == 0) {
    return true;
  }
  const bool complete = writeAll(fd_, buffer_, pending_) == pending_;
  pending_ = 0;
  return complete;
}

void FileStream::dropReadBuffer() {
  const int unread = readEnd_ - readPos_;
  if (unread > 0) {
    ::lseek(fd_, -unread, SEEK_CUR);
  }
  readPos_ = 0;
  readEnd_ = 0;
}
