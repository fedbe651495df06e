// The cache of external libraries and functions behind CallDLL: libraries by their
// exact name as given, functions by exact name; everything stays loaded for the run.
#pragma once
#include <map>
#include <string>

class LibraryCache {
 public:
  ~LibraryCache();
  // 0 when the library or function cannot be found (nothing is remembered then).
  int call(const std::string& library, const std::string& function, void* in, int inSize,
           void* out, int outSize);
  void clear();
  size_t libraryCount() const { return libraries_.size(); }

 private:
  struct Entry {
    void* handle;
    std::map<std::string, void*> functions;
  };
  std::map<std::string, Entry> libraries_;
};
