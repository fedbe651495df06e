#include "platform/shell.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/paths.h"


extern char** environ;

std::vector<std::string> splitParameters(const std::string& text) {
  std::vector<std::string> args;
  std::string current;
  bool quoted = false;
  bool inArg = false;
  for (char c : text) {
    if (c == '"') {
      quoted = !quoted;
      inArg = true;
    } else if (c == ' ' && !quoted) {
      if (inArg) {
        args.push_back(current);
        current.clear();
        inArg = false;
      }
    } else {
      current += c;
      inArg = true;
    }
  }
  if (inArg) {
    args.push_back(current);
  }
  return args;
}

namespace {

bool isExecutableFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

// Starts argv as a grandchild so that it is detached and never left a zombie.
bool spawnDetached(const std::vector<std::string>& argv) {
  std::vector<char*> raw;
  for (const std::string& a : argv) {
    raw.push_back(const_cast<char*>(a.c_str()));
  }
  raw.push_back(nullptr);
  int ready[2];
  if (pipe2(ready, O_CLOEXEC) != 0) {
    return false;
  }
  const pid_t child = fork();
  if (child < 0) {
    close(ready[0]);
    close(ready[1]);
    return false;
  }
  if (child == 0) {
    setsid();
    pid_t grandchild = 0;
    const int rc = posix_spawnp(&grandchild, raw[0], nullptr, nullptr, raw.data(), environ);
    const char ok = rc == 0 ? 1 : 0;
    (void)!write(ready[1], &ok, 1);
    _exit(0);
  }
  close(ready[1]);
  char ok = 0;
  const bool started = read(ready[0], &ok, 1) == 1 && ok == 1;
  close(ready[0]);
  waitpid(child, nullptr, 0);
  return started;
}

}  // namespace

bool shellOpen(const std::string& file, const std::string& parameters) {
  const std::string path = resolvePath(file);
  std::vector<std::string> argv;
  if (isExecutableFile(path) || (path.find('/') == std::string::npos && access(path.c_str(), F_OK) != 0)) {
    argv.push_back(path);  // a program, here or on the search path
  } else {
    argv = {"xdg-open", path};
  }
  for (const std::string& p : splitParameters(parameters)) {
    argv.push_back(p);
  }
  return spawnDetached(argv);
}
