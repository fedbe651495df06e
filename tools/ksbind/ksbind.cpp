// ksbind: writes a stand-alone game, the launcher with the module image appended as
// resource RCDATA 1111, and puts the runtime library beside it.
//
//   ksbind program.ksm game [--launcher PATH]
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/process.h"

namespace {

bool readFile(const std::string& path, std::vector<uint8_t>& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return false;
  }
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes, mode_t mode) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  out.close();
  return out.good() && chmod(path.c_str(), mode) == 0;
}

std::string folderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && !(argc == 5 && std::string(argv[3]) == "--launcher")) {
    std::fprintf(stderr, "usage: ksbind program.ksm game [--launcher PATH]\n");
    return 2;
  }
  const std::string tools = folderOf(executablePath());
  const std::string launcherPath = argc == 5 ? argv[4] : tools + "kslaunch";
  std::vector<uint8_t> module;
  std::vector<uint8_t> game;
  std::vector<uint8_t> library;
  if (!readFile(argv[1], module)) {
    std::fprintf(stderr, "ksbind: cannot read %s\n", argv[1]);
    return 1;
  }
  if (!readFile(launcherPath, game) || !readFile(folderOf(launcherPath) + "libkestrel-runtime.so", library)) {
    std::fprintf(stderr, "ksbind: cannot read the launcher or the runtime library beside it\n");
    return 1;
  }
  game.insert(game.end(), module.begin(), module.end());
  const std::vector<uint8_t> trailer = resourceTrailer(kResourceRcData, kModuleResourceId, uint32_t(module.size()));
  game.insert(game.end(), trailer.begin(), trailer.end());
  const std::string out = argv[2];
  if (!writeFile(out, game, 0755) || !writeFile(folderOf(out) + "libkestrel-runtime.so", library, 0644)) {
    std::fprintf(stderr, "ksbind: cannot write %s\n", out.c_str());
    return 1;
  }
  return 0;
}
