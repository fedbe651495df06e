// ksbind: writes a stand-alone game, the launcher with the module image appended as
// resource RCDATA 1111, and puts the runtime library beside it. `ksbind --help` prints
// the usage and the exit statuses (tools/common/exit_status.h).
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/process.h"
#include "tools/common/command_line.h"
#include "tools/common/exit_status.h"
#include "tools/common/module_file.h"

namespace {

const char kUsage[] =
    "usage: ksbind [--launcher PATH] program.ksm GAME\n"
    "       ksbind [--launcher PATH] game.exe GAME\n"
    "\n"
    "Makes a stand-alone game: writes the executable GAME (the launcher with the module\n"
    "image appended) and libkestrel-runtime.so beside it, creating GAME's folder when\n"
    "it does not exist. The two files are the game. A Windows game executable gives\n"
    "the module it holds (resource RCDATA 1111).\n"
    "\n"
    "Options:\n"
    "  --launcher PATH  the launcher to use (default: kslaunch beside ksbind); the\n"
    "                   runtime library is taken from the launcher's folder\n"
    "  -h, --help       print this help and exit\n"
    "\n"
    "Exit status:\n"
    "  0    the game was written\n"
    "  1    the game cannot be written, or the launcher or runtime library cannot be read\n"
    "  2    usage error\n"
    "  3    the module file cannot be read\n"
    "  4    the file is not a module image, nor a Windows game executable holding one\n";

std::string folderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

// mkdir -p: true when the folder exists afterwards.
bool makeFolders(const std::string& folder) {
  for (size_t slash = folder.find('/', 1); slash != std::string::npos; slash = folder.find('/', slash + 1)) {
    const std::string part = folder.substr(0, slash);
    if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
      return false;
    }
  }
  struct stat info {};
  return stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

struct Options {
  bool help = false;
  std::string launcher;
  std::vector<std::string> files;  // the module and the game
};

std::string parse(int argc, char** argv, Options& options) {
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
      options.files.push_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "-h" || arg == "--help") {
      options.help = true;
      return "";
    } else if (arg == "--launcher") {
      if (i + 1 >= argc) {
        return "--launcher needs a path";
      }
      options.launcher = argv[++i];
    } else {
      return "unknown option " + arg;
    }
  }
  if (options.files.size() != 2) {
    return options.files.size() < 2 ? "needs a module image and the game to write"
                                    : "too many arguments: " + options.files[2];
  }
  if (options.files[1].empty()) {
    return "the game needs a file name";
  }
  if (options.files[1].back() == '/') {
    return "the game needs a file name, not the folder " + options.files[1];
  }
  return "";
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  const std::string problem = parse(argc, argv, options);
  const int answered = answerHelpOrUsageError("ksbind", kUsage, options.help, problem);
  if (answered >= 0) {
    return answered;
  }
  const ModuleFile module = readModuleFile(options.files[0]);
  if (module.status != ModuleFile::Status::Ok) {
    std::fprintf(stderr, "ksbind: %s\n", module.error.c_str());
    return exitStatusOf(module);
  }
  const std::string launcherPath =
      options.launcher.empty() ? folderOf(executablePath()) + "kslaunch" : options.launcher;
  const std::string libraryPath = folderOf(launcherPath) + "libkestrel-runtime.so";
  std::vector<uint8_t> game;
  std::vector<uint8_t> library;
  std::string error;
  if (!readWholeFile(launcherPath, game, error) || !readWholeFile(libraryPath, library, error)) {
    std::fprintf(stderr, "ksbind: %s (the launcher, and the runtime library beside it)\n", error.c_str());
    return exit_status::kCannotWrite;
  }
  game.insert(game.end(), module.bytes.begin(), module.bytes.end());
  const std::vector<uint8_t> trailer =
      resourceTrailer(kResourceRcData, kModuleResourceId, uint32_t(module.bytes.size()));
  game.insert(game.end(), trailer.begin(), trailer.end());
  const std::string out = options.files[1];
  const std::string folder = folderOf(out);
  if (!makeFolders(folder)) {
    std::fprintf(stderr, "ksbind: cannot create the folder %s: %s\n", folder.c_str(), std::strerror(errno));
    return exit_status::kCannotWrite;
  }
  struct stat info {};
  if (stat(out.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    std::fprintf(stderr, "ksbind: cannot write %s: it is a folder\n", out.c_str());
    return exit_status::kCannotWrite;
  }
  if (!writeWholeFile(out, game, 0755) || !writeWholeFile(folder + "libkestrel-runtime.so", library, 0644)) {
    std::fprintf(stderr, "ksbind: cannot write %s\n", out.c_str());
    return exit_status::kCannotWrite;
  }
  return exit_status::kOk;
}
