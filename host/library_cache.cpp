#include "host/library_cache.h"

#include "platform/library_loader.h"

LibraryCache::~LibraryCache() {
  clear();
}

int LibraryCache::call(const std::string& library, const std::string& function, void* in,
                       int inSize, void* out, int outSize) {
  auto lib = libraries_.find(library);
  if (lib == libraries_.end()) {
    void* handle = loadLibrary(library);
    if (!handle) {
      return 0;
    }
    lib = libraries_.emplace(library, Entry{handle, {}}).first;
  }
  auto fn = lib->second.functions.find(function);
  if (fn == lib->second.functions.end()) {
    void* address = libraryFunction(lib->second.handle, function);
    if (!address) {
      return 0;
    }
    fn = lib->second.functions.emplace(function, address).first;
  }
  // The C convention: the caller removes the four argument words.
  using LibraryFunction = int (*)(void*, int, void*, int);
  return reinterpret_cast<LibraryFunction>(fn->second)(in, inSize, out, outSize);
}

void LibraryCache::clear() {
  for (auto& [name, entry] : libraries_) {
    freeLibrary(entry.handle);
  }
  libraries_.clear();
}
