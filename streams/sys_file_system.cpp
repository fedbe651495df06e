// Directories and whole-file operations over POSIX calls, every path resolved by the
// platform path layer (backslashes, letter case).
#include "streams/sys_file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include "platform/paths.h"
#include "streams/fd_io.h"

sysDir::sysDir(DIR* handle) : handle_(handle) { advance(); }

sysDir::~sysDir() {
  if (handle_) {
    ::closedir(handle_);
  }
}

std::string sysDir::next() {
  if (!handle_) {
    return "";
  }
  std::string name = std::move(current_);
  advance();
  return name;
}

void sysDir::advance() {
  const dirent* const entry = ::readdir(handle_);
  if (entry) {
    current_ = entry->d_name;
  } else {
    ::closedir(handle_);
    handle_ = nullptr;
    current_.clear();
  }
}

sysFileSystem::~sysFileSystem() {
  for (const sysDir* dir : dirs_) {
    delete dir;
  }
}

bool sysFileSystem::createDir(const std::string& path) {
  return ::mkdir(resolvePath(path).c_str(), 0777) == 0;
}

bool sysFileSystem::removeDir(const std::string& path) {
  return ::rmdir(resolvePath(path).c_str()) == 0;
}

bool sysFileSystem::deleteFile(const std::string& path) {
  return ::unlink(resolvePath(path).c_str()) == 0;
}

bool sysFileSystem::copyFile(const std::string& from, const std::string& to) {
  const std::string source = resolvePath(from);
  const std::string target = resolvePath(to);
  // Regular files only: a device or a FIFO could make the copy wait or run for ever.
  const int in = openRegularFile(source.c_str(), O_RDONLY);
  if (in < 0) {
    return false;
  }
  struct stat sourceInfo;
  struct stat targetInfo;
  // Copying a file onto itself would truncate it before reading: refuse, as the
  // target is open in the source's place.
  if (::fstat(in, &sourceInfo) != 0 ||
      (::stat(target.c_str(), &targetInfo) == 0 && targetInfo.st_dev == sourceInfo.st_dev &&
       targetInfo.st_ino == sourceInfo.st_ino)) {
    ::close(in);
    return false;
  }
  const int out = openRegularFile(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC, sourceInfo.st_mode & 0777);
  if (out < 0) {
    ::close(in);
    return false;
  }
  constexpr int kChunk = 65536;
  const std::unique_ptr<char[]> buffer(new char[kChunk]);
  bool ok = true;
  for (int got; ok && (got = readSome(in, buffer.get(), kChunk)) > 0;) {
    ok = writeAll(out, buffer.get(), got) == got;
  }
  ::close(in);
  return ::close(out) == 0 && ok;
}

bool sysFileSystem::setCurrentDir(const std::string& path) {
  return ::chdir(resolvePath(path).c_str()) == 0;
}

std::string sysFileSystem::currentDir() const {
  // No length limit: a deep directory is returned whole.
  const std::unique_ptr<char, decltype(&::free)> text(::getcwd(nullptr, 0), &::free);
  return text ? directoryText(text.get()) : std::string();
}

// A wildcard name never names an entry.
int sysFileSystem::fileType(const std::string& path) const {
  struct stat info;
  if (hasWildcards(path) || ::stat(resolvePath(path).c_str(), &info) != 0) {
    return 0;
  }
  return S_ISDIR(info.st_mode) ? 2 : 1;
}

int64_t sysFileSystem::fileSize(const std::string& path) const {
  const std::string match = hasWildcards(path) ? firstWildcardMatch(path) : resolvePath(path);
  struct stat info;
  if (match.empty() || ::stat(match.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) {
    return 0;
  }
  return info.st_size;
}

// An empty name lists the root, as the search pattern "\*" does.
sysDir* sysFileSystem::openDir(const std::string& path) {
  const std::string resolved = path.empty() ? "/" : resolvePath(path);
  DIR* const handle = ::opendir(resolved.c_str());
  if (!handle) {
    return nullptr;
  }
  sysDir* const dir = new sysDir(handle);
  dirs_.insert(dir);
  return dir;
}

void sysFileSystem::closeDir(sysDir* dir) {
  if (dirs_.erase(dir) != 0) {
    delete dir;
  }
}

bool sysFileSystem::dirExists(const sysDir* dir) const { return dirs_.count(dir) != 0; }
