// sysFileSystem: the host side of directories and whole files (create, remove, copy,
// delete, type, size, current directory) and owner of every directory listing
// (sysDir) in progress. Paths are the program's own; they are resolved here.
#pragma once
#include <dirent.h>

#include <cstdint>
#include <set>
#include <string>

#include "host/host_services.h"

// One directory listing in progress: the entry the next NextFile returns.
class sysDir {
 public:
  explicit sysDir(DIR* handle);
  ~sysDir();
  sysDir(const sysDir&) = delete;
  sysDir& operator=(const sysDir&) = delete;

  // The current entry's name, advancing the listing; "" once it is exhausted.
  std::string next();

 private:
  void advance();

  DIR* handle_;  // null once the listing is exhausted
  std::string current_;
};

class sysFileSystem final : public FileSystemHost {
 public:
  sysFileSystem() = default;
  ~sysFileSystem() override;  // closes and frees every listing still open
  sysFileSystem(const sysFileSystem&) = delete;
  sysFileSystem& operator=(const sysFileSystem&) = delete;

  bool createDir(const std::string& path);
  bool removeDir(const std::string& path);
  bool deleteFile(const std::string& path);
  bool copyFile(const std::string& from, const std::string& to);  // replaces the target
  bool setCurrentDir(const std::string& path);
  std::string currentDir() const;  // ends in '/'; "" if it cannot be read
  int fileType(const std::string& path) const;  // 0 none, 1 file, 2 directory
  // Size of the file or of a wildcard name's first match; 0 for directories and misses.
  int64_t fileSize(const std::string& path) const;

  // A listing of the directory ("." and ".." included), or null.
  sysDir* openDir(const std::string& path);
  // Frees the listing if it is one of this manager's; anything else is ignored.
  void closeDir(sysDir* dir);
  bool dirExists(const sysDir* dir) const;

 private:
  std::set<const sysDir*> dirs_;
};
