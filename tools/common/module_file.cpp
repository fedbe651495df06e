#include "tools/common/module_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "runtime/module_image.h"
#include "tools/common/exit_status.h"

namespace {

bool fail(std::string& error, const std::string& path, const char* reason) {
  error = "cannot read " + path + ": " + reason;
  return false;
}

}  // namespace

bool readWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    return fail(error, path, std::strerror(errno));
  }
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return fail(error, path, S_ISDIR(info.st_mode) ? "it is a folder" : "not a regular file");
  }
  bytes.clear();
  uint8_t buffer[65536];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0) {
      const int code = errno;
      close(fd);
      return fail(error, path, std::strerror(code));
    }
    if (n == 0) {
      break;
    }
    bytes.insert(bytes.end(), buffer, buffer + n);
  }
  close(fd);
  return true;
}

ModuleFile readModuleFile(const std::string& path) {
  ModuleFile file;
  if (!readWholeFile(path, file.bytes, file.error)) {
    return file;
  }
  if (!readModuleImage(file.bytes.data(), file.bytes.size())) {
    file.status = ModuleFile::Status::Malformed;
    file.error = path + " is not a Kestrel module image (truncated or malformed)";
    return file;
  }
  file.status = ModuleFile::Status::Ok;
  return file;
}

int exitStatusOf(const ModuleFile& file) {
  switch (file.status) {
    case ModuleFile::Status::Ok: return exit_status::kOk;
    case ModuleFile::Status::Malformed: return exit_status::kMalformed;
    default: return exit_status::kUnreadable;
  }
}
