// ksrun: loads the runtime library, links a module image file against its symbols
// and runs it with a console debugger.
//
//   ksrun [--debug] [--topmost] [--blank-title] [--end-after MS] program.ksm [args...]
//
// Exit status: 0 after a normal end or End, 1 after a runtime error, 2 after a
// start-up error; link failures exit as a stand-alone game would (0 or 255).
#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "platform/process.h"
#include "runtime/module_linker.h"
#include "runtime/runtime_interface.h"
#include "tools/ksrun/console_debugger.h"

namespace {

struct Options {
  bool debug = false;
  int windowFlags = 0;
  int endAfterMs = -1;
  std::string module;
  std::string args;
};

int usage() {
  std::fprintf(stderr,
               "usage: ksrun [--debug] [--topmost] [--blank-title] [--end-after MS] "
               "program.ksm [args...]\n");
  return 2;
}

bool parse(int argc, char** argv, Options& options) {
  int i = 1;
  for (; i < argc && argv[i][0] == '-' && argv[i][1] == '-'; ++i) {
    const std::string flag = argv[i];
    if (flag == "--debug") {
      options.debug = true;
    } else if (flag == "--topmost") {
      options.windowFlags |= 1;
    } else if (flag == "--blank-title") {
      options.windowFlags |= 2;
    } else if (flag == "--end-after" && i + 1 < argc) {
      options.endAfterMs = std::atoi(argv[++i]);
    } else {
      return false;
    }
  }
  if (i >= argc) {
    return false;
  }
  options.module = argv[i++];
  for (; i < argc; ++i) {
    options.args += (options.args.empty() ? "" : " ") + std::string(argv[i]);
  }
  return true;
}

Runtime* loadRuntime() {
  const char* override = std::getenv("KESTREL_RUNTIME");
  const std::string exe = executablePath();
  const std::string path = override ? override : exe.substr(0, exe.rfind('/') + 1) + "libkestrel-runtime.so";
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    std::fprintf(stderr, "ksrun: cannot load the runtime: %s\n", dlerror());
    return nullptr;
  }
  using GetRuntime = Runtime* (*)();
  auto get = reinterpret_cast<GetRuntime>(dlsym(library, "runtimeGetRuntime"));
  return get ? get() : nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parse(argc, argv, options)) {
    return usage();
  }
  std::ifstream file(options.module, std::ios::binary);
  if (!file) {
    std::fprintf(stderr, "ksrun: cannot open %s\n", options.module.c_str());
    return 2;
  }
  const std::vector<uint8_t> image((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  Runtime* runtime = loadRuntime();
  if (!runtime) {
    return 2;
  }
  runtime->startUp(nullptr);
  const LinkOutcome linked = linkModuleBytes(image.data(), image.size(), buildRuntimeLinkTable(*runtime));
  if (!linked.code) {
    std::fprintf(stderr, "ksrun: %s\n", linked.error.c_str());
    return linked.exitCode;
  }
  std::thread ender;
  if (options.endAfterMs >= 0) {
    ender = std::thread([runtime, ms = options.endAfterMs] {
      std::this_thread::sleep_for(std::chrono::milliseconds(ms));
      runtime->requestEnd();
    });
  }
  ConsoleDebugger debugger;
  runtime->execute(reinterpret_cast<ProgramEntry>(linked.code), options.args.c_str(), &debugger,
                   options.debug, options.windowFlags);
  if (ender.joinable()) {
    ender.join();
  }
  runtime->shutDown();
  switch (debugger.outcome()) {
    case ConsoleDebugger::Outcome::Error: return 1;
    case ConsoleDebugger::Outcome::StartupError: return 2;
    default: return 0;
  }
}
