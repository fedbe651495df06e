// Opens, reads and writes on a POSIX file descriptor that survive interrupted calls:
// the one place the file stream and whole-file copies open files and move bytes.
#pragma once
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

// Opens a regular file; -1 for anything else. The open never waits: a FIFO without a
// writer or a device would otherwise block the program thread where nothing pumps.
// (I/O on a regular file ignores O_NONBLOCK, so the flag can stay.)
inline int openRegularFile(const char* path, int flags, mode_t mode = 0) {
  const int fd = ::open(path, flags | O_NONBLOCK | O_CLOEXEC, mode);
  if (fd < 0) {
    return -1;
  }
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

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
