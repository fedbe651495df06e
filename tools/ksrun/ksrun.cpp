// ksrun: loads the runtime library, links a module image file against its symbols
// and runs it with a console debugger. `ksrun --help` prints the usage and the exit
// statuses (tools/common/exit_status.h).
#include <dlfcn.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/process.h"
#include "runtime/module_image.h"
#include "runtime/module_linker.h"
#include "runtime/runtime_interface.h"
#include "tools/common/command_line.h"
#include "tools/common/exit_status.h"
#include "tools/common/module_file.h"
#include "tools/ksrun/console_debugger.h"
#include "tools/ksrun/run_ender.h"

namespace {

const char kUsage[] =
    "usage: ksrun [OPTIONS] program.ksm [PROGRAM ARGUMENTS...]\n"
    "       ksrun [OPTIONS] game.exe [PROGRAM ARGUMENTS...]\n"
    "       ksrun --extract game.exe out.ksm\n"
    "\n"
    "Links a Kestrel module image against the runtime library and runs it. Everything\n"
    "after the module is the program's command line, joined by spaces, options included.\n"
    "A Windows game executable runs the module it holds (resource RCDATA 1111);\n"
    "--extract writes that module out as a module image file instead.\n"
    "\n"
    "Options (before the module):\n"
    "  --debug          turn on the handle checks of debug mode\n"
    "                   (a program compiled with kbc --debug names the file and line\n"
    "                   of a runtime error in any case)\n"
    "  --topmost        keep the program's window above the others\n"
    "  --blank-title    give the program's window a blank title\n"
    "  --end-after MS   end the program after MS milliseconds (0: at once)\n"
    "  --screenshot FILE  after the run, write the picture last shown in the window\n"
    "                   as a PNG file (works without a screen too)\n"
    "  -h, --help       print this help and exit\n"
    "  --               end of the options: the next argument is the module\n"
    "\n"
    "Ctrl-C (SIGINT) or SIGTERM ends the program as a Stop button would; a second one\n"
    "stops ksrun at once.\n"
    "\n"
    "Exit status:\n"
    "  0    the program ended (at its end, by End, or by --end-after)\n"
    "  1    the program stopped on a runtime error, or the screenshot (or the module\n"
    "       of --extract) was not written\n"
    "  2    usage error\n"
    "  3    the module file cannot be read\n"
    "  4    the file is not a module image, nor a Windows game executable holding one\n"
    "  5    link failure (a symbol the module calls is missing)\n"
    "  6    start-up error (the runtime library or the program could not start)\n"
    "  130  ended by SIGINT; 143 ended by SIGTERM\n";

struct Options {
  bool help = false;
  bool debug = false;
  int windowFlags = 0;
  int endAfterMs = -1;
  std::string screenshot;
  std::string module;
  std::string args;
  std::string extractTo;  // --extract: where the module goes instead of running
};

// A whole number of milliseconds, 0 to INT_MAX, in decimal digits only.
bool parseMilliseconds(const char* text, int& ms) {
  if (!*text) {
    return false;
  }
  long long value = 0;
  for (const char* p = text; *p; ++p) {
    if (*p < '0' || *p > '9') {
      return false;
    }
    value = value * 10 + (*p - '0');
    if (value > INT_MAX) {
      return false;
    }
  }
  ms = int(value);
  return true;
}

// Empty when the arguments make a run (or ask for help); otherwise what is wrong.
std::string parse(int argc, char** argv, Options& options) {
  int i = 1;
  for (; i < argc && argv[i][0] == '-' && argv[i][1] != '\0'; ++i) {
    const std::string flag = argv[i];
    if (flag == "--") {
      ++i;
      break;
    }
    if (flag == "-h" || flag == "--help") {
      options.help = true;
      return "";
    }
    if (flag == "--extract") {
      if (i != 1 || argc != 4 || !*argv[3]) {
        return "--extract takes exactly a game executable and the module file to write";
      }
      options.module = argv[2];
      options.extractTo = argv[3];
      return "";
    }
    if (flag == "--debug") {
      options.debug = true;
    } else if (flag == "--topmost") {
      options.windowFlags |= 1;
    } else if (flag == "--blank-title") {
      options.windowFlags |= 2;
    } else if (flag == "--end-after" || flag.starts_with("--end-after=")) {
      const bool joined = flag.size() > 11;
      if (!joined && i + 1 >= argc) {
        return "--end-after needs a number of milliseconds";
      }
      const char* value = joined ? argv[i] + 12 : argv[++i];
      if (!parseMilliseconds(value, options.endAfterMs)) {
        return std::string("--end-after takes a whole number of milliseconds from 0 to ") +
               std::to_string(INT_MAX) + ", not '" + value + "'";
      }
    } else if (flag == "--screenshot" || flag.starts_with("--screenshot=")) {
      const bool joined = flag.size() > 12;
      if (!joined && i + 1 >= argc) {
        return "--screenshot needs a file name";
      }
      options.screenshot = joined ? argv[i] + 13 : argv[++i];
      if (options.screenshot.empty()) {
        return "--screenshot needs a file name";
      }
    } else {
      return "unknown option " + flag + " (options go before the module)";
    }
  }
  if (i >= argc) {
    return "no module image to run";
  }
  options.module = argv[i++];
  for (; i < argc; ++i) {
    options.args += (options.args.empty() ? "" : " ") + std::string(argv[i]);
  }
  return "";
}

// The module's entry, called through startModule so that ksrun knows the program ran:
// a run that returns without starting it, without an end asked for and without a word
// (no video, for one) failed to start.
ProgramEntry moduleEntry = nullptr;
bool moduleStarted = false;

void startModule() {
  moduleStarted = true;
  moduleEntry();
}

// The runtime library, for its tool entries beside the Runtime.
void* runtimeLibrary = nullptr;

template <typename Function>
Function toolEntry(const char* name) {
  return reinterpret_cast<Function>(dlsym(runtimeLibrary, name));
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
  runtimeLibrary = library;
  auto get = toolEntry<Runtime* (*)()>("runtimeGetRuntime");
  Runtime* runtime = get ? get() : nullptr;
  if (!runtime) {
    std::fprintf(stderr, "ksrun: %s is not the Kestrel runtime library\n", path.c_str());
  }
  return runtime;
}

int extract(const ModuleFile& file, const Options& options) {
  if (!writeWholeFile(options.extractTo, file.bytes, 0644)) {
    std::fprintf(stderr, "ksrun: cannot write %s\n", options.extractTo.c_str());
    return exit_status::kCannotWrite;
  }
  std::fprintf(stderr, "ksrun: the module of %s (%zu bytes) written to %s\n", options.module.c_str(),
               file.bytes.size(), options.extractTo.c_str());
  return exit_status::kOk;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  const std::string problem = parse(argc, argv, options);
  const int answered = answerHelpOrUsageError("ksrun", kUsage, options.help, problem);
  if (answered >= 0) {
    return answered;
  }
  const ModuleFile file = readModuleFile(options.module);
  if (file.status != ModuleFile::Status::Ok) {
    std::fprintf(stderr, "ksrun: %s\n", file.error.c_str());
    return exitStatusOf(file);
  }
  if (!options.extractTo.empty()) {
    return extract(file, options);
  }
  // Before the runtime library starts any thread.
  if (!RunEnder::catchStopSignals()) {
    std::fprintf(stderr, "ksrun: cannot watch for SIGINT and SIGTERM: %s\n", std::strerror(errno));
    return exit_status::kStartupError;
  }
  Runtime* runtime = loadRuntime();
  if (!runtime) {
    return exit_status::kStartupError;
  }
  runtime->startUp(nullptr);
  const LinkOutcome linked =
      linkModuleBytes(file.bytes.data(), file.bytes.size(), buildRuntimeLinkTable(*runtime));
  if (!linked.code) {
    std::fprintf(stderr, "ksrun: %s\n", linked.error.c_str());
    return exit_status::kLinkFailure;
  }
  const auto capturePictures = toolEntry<void (*)(int)>("ksCapturePresentedPictures");
  const auto writeLastPicture = toolEntry<int (*)(const char*)>("ksWriteLastPicture");
  if (!options.screenshot.empty()) {
    if (!capturePictures || !writeLastPicture) {
      std::fprintf(stderr, "ksrun: this runtime library cannot take screenshots\n");
      return exit_status::kStartupError;
    }
    capturePictures(1);
  }
  ConsoleDebugger debugger;
  if (const auto image = readModuleImage(file.bytes.data(), file.bytes.size())) {
    debugger.setModule(linked.code, size_t(image->codeSize));
  }
  RunEnder ender(*runtime, options.endAfterMs);
  moduleEntry = reinterpret_cast<ProgramEntry>(linked.code);
  runtime->execute(startModule, options.args.c_str(), &debugger, options.debug, options.windowFlags);
  ender.finish();
  runtime->shutDown();
  bool screenshotFailed = false;
  if (!options.screenshot.empty()) {
    if (writeLastPicture(options.screenshot.c_str())) {
      std::fprintf(stderr, "ksrun: screenshot written to %s\n", options.screenshot.c_str());
    } else {
      std::fprintf(stderr, "ksrun: cannot write the screenshot %s (nothing was shown, or the file cannot be written)\n",
                   options.screenshot.c_str());
      screenshotFailed = true;
    }
  }
  if (const int signal = ender.signal()) {
    std::fprintf(stderr, "[end] Program ended by %s\n", signal == SIGINT ? "SIGINT" : "SIGTERM");
    return exit_status::kSignalBase + signal;
  }
  switch (debugger.outcome()) {
    case ConsoleDebugger::Outcome::Error: return exit_status::kRuntimeError;
    case ConsoleDebugger::Outcome::StartupError: return exit_status::kStartupError;
    case ConsoleDebugger::Outcome::Running:  // End, an end asked for, or no start at all
      if (!moduleStarted && !ender.endRequested()) {
        std::fprintf(stderr, "ksrun: the program could not start\n");
        return exit_status::kStartupError;
      }
      break;
    case ConsoleDebugger::Outcome::Ended: break;
  }
  return screenshotFailed ? exit_status::kCannotWrite : exit_status::kOk;
}
