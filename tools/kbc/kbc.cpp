// kbc: compiles a Kestrel Basic program into a module image that ksrun runs, and with
// --bind into a stand-alone game (through ksbind). `kbc --help` prints the usage.
#include <limits.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <new>
#include <set>
#include <string>

#include "platform/process.h"
#include "tools/common/command_line.h"
#include "tools/common/module_file.h"
#include "tools/kbc/codegen.h"
#include "tools/kbc/parser.h"

namespace {

const char kUsage[] =
    "usage: kbc [OPTIONS] program.kb\n"
    "\n"
    "Compiles a Kestrel Basic program into a module image (run it with ksrun).\n"
    "\n"
    "Options:\n"
    "  -o FILE       the module image to write (default: the source's name with .ksm)\n"
    "  --debug       a debug build: the debugger hears of every statement and function,\n"
    "                ksrun names the line of a runtime error, array and block indexes\n"
    "                are checked\n"
    "  --bind GAME   also make the stand-alone game GAME (through ksbind)\n"
    "  -h, --help    print this help and exit\n"
    "\n"
    "Exit status:\n"
    "  0    compiled\n"
    "  1    the program has an error (file:line:column: error: ... on standard error)\n"
    "  2    usage error\n"
    "  3    the source file cannot be read\n"
    "  4    the module image or the game cannot be written\n";

struct Options {
  bool help = false;
  bool debug = false;
  std::string source;
  std::string output;
  std::string bind;
};

std::string parse(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      options.help = true;
      return "";
    }
    if (arg == "--debug") {
      options.debug = true;
    } else if (arg == "-o" || arg == "--bind") {
      if (i + 1 >= argc || !argv[i + 1][0]) {
        return arg + " needs a file name";
      }
      (arg == "-o" ? options.output : options.bind) = argv[++i];
    } else if (arg.size() > 1 && arg[0] == '-') {
      return "unknown option " + arg;
    } else if (!options.source.empty()) {
      return "more than one source file: " + arg;
    } else {
      options.source = arg;
    }
  }
  return options.source.empty() ? "no source file to compile" : "";
}

std::string folderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

bool readText(const std::string& path, std::string& text, std::string& error) {
  std::vector<uint8_t> bytes;
  if (!readWholeFile(path, bytes, error)) {
    return false;
  }
  text.assign(bytes.begin(), bytes.end());
  return true;
}

std::string canonical(const std::string& path) {
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  out.close();
  return out.good();
}

int runKsbind(const std::string& module, const std::string& game) {
  const std::string ksbind = folderOf(executablePath()) + "ksbind";
  const pid_t child = fork();
  if (child == 0) {
    execl(ksbind.c_str(), "ksbind", module.c_str(), game.c_str(), static_cast<char*>(nullptr));
    std::fprintf(stderr, "kbc: cannot start %s\n", ksbind.c_str());
    _exit(127);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child) {
    return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  const std::string problem = parse(argc, argv, options);
  const int answered = answerHelpOrUsageError("kbc", kUsage, options.help, problem);
  if (answered >= 0) {
    return answered;
  }
  SourceSet sources;
  std::string text, error;
  if (!readText(options.source, text, error)) {
    std::fprintf(stderr, "kbc: %s\n", error.c_str());
    return 3;
  }
  sources.files.push_back({options.source, text});
  std::set<std::string> included = {canonical(options.source)};
  std::vector<uint8_t> image;
  try {
    const IncludeLoader loader = [&](const std::string& name, SourcePos pos) {
      const std::string& from = sources.files[pos.file].path;
      const std::string path = !name.empty() && name[0] == '/' ? name : folderOf(from) + name;
      std::string body, why;
      if (!readText(path, body, why)) {
        fail(pos, "cannot include: " + why);
      }
      if (!included.insert(canonical(path)).second) {
        fail(pos, "'" + name + "' is already part of the program");
      }
      sources.files.push_back({path, body});
      return int(sources.files.size()) - 1;
    };
    Program program = parseProgram(sources, 0, loader);
    CompileOptions compileOptions;
    compileOptions.debug = options.debug;
    image = compileProgram(program, sources, compileOptions);
  } catch (const CompileError& e) {
    std::fputs(formatError(sources, e).c_str(), stderr);
    return 1;
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "kbc: %s: out of memory\n", options.source.c_str());
    return 1;
  }
  std::string output = options.output;
  if (output.empty()) {
    const auto dot = options.source.rfind('.');
    const auto slash = options.source.rfind('/');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    output = (hasExtension ? options.source.substr(0, dot) : options.source) + ".ksm";
  }
  if (!writeFile(output, image)) {
    std::fprintf(stderr, "kbc: cannot write %s\n", output.c_str());
    return 4;
  }
  if (!options.bind.empty() && runKsbind(output, options.bind) != 0) {
    std::fprintf(stderr, "kbc: the game %s was not made\n", options.bind.c_str());
    return 4;
  }
  return 0;
}
