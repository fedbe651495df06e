// SystemProperty answers. Directory answers end in "/"; the Windows folders have
// no meaning here and answer "".
#include <sys/utsname.h>

#include <cctype>
#include <cstdlib>

#include "host/sys_runtime.h"
#include "platform/paths.h"
#include "platform/process.h"

namespace {

std::string operatingSystem() {
  utsname name;
  if (uname(&name) != 0) {
    return "";
  }
  return std::string(name.sysname) + " " + name.release;
}

std::string applicationDir() {
  const std::string exe = executablePath();
  if (exe.empty()) {
    return "";
  }
  const auto slash = exe.rfind('/');
  return slash == std::string::npos ? directoryText(exe) : exe.substr(0, slash + 1);
}

std::string tempDir() {
  const char* tmp = std::getenv("TMPDIR");
  return directoryText(tmp && *tmp ? tmp : "/tmp");
}

}  // namespace

std::string sysRuntime::systemProperty(const std::string& name) const {
  std::string key;
  for (char c : name) {
    key += char(std::tolower(static_cast<unsigned char>(c)));
  }
  if (key == "cpu") {
    return "Intel";
  }
  if (key == "os") {
    return operatingSystem();
  }
  if (key == "appdir") {
    return applicationDir();
  }
  if (key == "tempdir") {
    return tempDir();
  }
  return "";  // windowsdir, systemdir and unknown names
}

int sysRuntime::callLibrary(const std::string& library, const std::string& function, void* in,
                            int inSize, void* out, int outSize) {
  return libraries_.call(library, function, in, inSize, out, outSize);
}
