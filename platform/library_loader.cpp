#include "platform/library_loader.h"

#include <dlfcn.h>

#include "platform/paths.h"
#include "platform/process.h"

void* loadLibrary(const std::string& programName) {
  if (programName.empty()) {
    return nullptr;
  }
  const std::string name = resolvePath(programName);
  if (name.find('/') != std::string::npos) {
    return dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
  }
  const std::string exe = executablePath();
  const std::string programDir = exe.substr(0, exe.rfind('/') + 1);
  for (const std::string& candidate : {programDir + name, "./" + name, name}) {
    if (void* library = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL)) {
      return library;
    }
  }
  return nullptr;
}

void* libraryFunction(void* library, const std::string& name) {
  return library ? dlsym(library, name.c_str()) : nullptr;
}

void freeLibrary(void* library) {
  if (library) {
    dlclose(library);
  }
}
