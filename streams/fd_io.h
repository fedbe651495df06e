// Reads and writes on a POSIX file descriptor that survive interrupted calls: the one
// place the file stream and whole-file copies move bytes.
#pragma once
#include <unistd.h>

#include <cerrno>

// One read of up to count bytes; 0 at the end of the file or on failure.
inline int readSome(int fd, char* buffer, int count) {
  ssize_t got;
  do {
    got = ::read(fd, buffer, static_cast<size_t>(count));
  } while (got < 0 && errno == EINTR);
  return got > 0 ? static_cast<int>(got) : 0;
}

// Writes everything it can; returns the count that reached the file.
inline int writeAll(int fd, const char* buffer, int count) {
  int done = 0;
  while (done < count) {
    const ssize_t put = ::write(fd, buffer + done, static_cast<size_t>(count - done));
    if (put < 0 && errno == EINTR) {
      continue;
    }
    if (put <= 0) {
      break;
    }
    done += static_cast<int>(put);
  }
  return done;
}
