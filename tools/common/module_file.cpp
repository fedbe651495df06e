#include "tools/common/module_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "platform/process.h"
#include "runtime/module_image.h"
#include "runtime/pe_resources.h"
#include "tools/common/exit_status.h"

namespace {

bool fail(std::string& error, const std::string& path, const char* reason) {
  error = "cannot read " + path + ": " + reason;
  return false;
}

// A Windows game keeps its module as a resource. A module image whose code happens to
// begin with the bytes "MZ" is still taken as a module when no PE header follows.
bool isWindowsExecutable(const std::vector<uint8_t>& bytes) {
  if (bytes.size() < 2 || bytes[0] != 'M' || bytes[1] != 'Z') {
    return false;
  }
  return hasPeSignature(bytes.data(), bytes.size()) || !readModuleImage(bytes.data(), bytes.size());
}

// Replaces the executable's bytes by those of its module resource.
bool takeModuleResource(const std::string& path, ModuleFile& file) {
  const PeResource found = findPeResource(file.bytes.data(), file.bytes.size(), kResourceRcData, kModuleResourceId);
  switch (found.status) {
    case PeResource::Status::Missing:
      file.error = path + ": not a Kestrel game: no module resource";
      return false;
    case PeResource::Status::Malformed:
      file.error = path + " is a damaged Windows executable: " + found.problem;
      return false;
    case PeResource::Status::Found: break;
  }
  const auto start = file.bytes.begin() + std::ptrdiff_t(found.offset);
  file.bytes = std::vector<uint8_t>(start, start + std::ptrdiff_t(found.size));
  return true;
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

bool writeWholeFile(const std::string& path, const std::vector<uint8_t>& bytes, unsigned mode) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  out.close();
  return out.good() && chmod(path.c_str(), mode_t(mode)) == 0;
}

ModuleFile readModuleFile(const std::string& path) {
  ModuleFile file;
  if (!readWholeFile(path, file.bytes, file.error)) {
    return file;
  }
  file.status = ModuleFile::Status::Malformed;
  const bool windows = isWindowsExecutable(file.bytes);
  if (windows && !takeModuleResource(path, file)) {
    return file;
  }
  if (!readModuleImage(file.bytes.data(), file.bytes.size())) {
    file.error = windows ? path + ": the module resource is not a Kestrel module image (truncated or malformed)"
                         : path + " is not a Kestrel module image (truncated or malformed)";
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
