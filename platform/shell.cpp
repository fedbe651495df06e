#include "platform/shell.h"

#include <fcntl.h>
#include <cerrno>
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

// Starts argv as a grandchild so that it is detached and never left a zombie. Whether
// the exec worked comes back through a close-on-exec pipe: end of file once the exec
// succeeded, the errno when it failed. (A vfork-style spawn reports the failure through
// memory it shares with the child, which an emulator such as qemu-user does not give it.)
bool spawnDetached(const std::vector<std::string>& argv) {
  std::vector<char*> raw;
  for (const std::string& a : argv) {
    raw.push_back(const_cast<char*>(a.c_str()));
  }
  raw.push_back(nullptr);
  int failure[2];
  if (pipe2(failure, O_CLOEXEC) != 0) {
    return false;
  }
  const pid_t child = fork();
  if (child == 0) {
    // Only async-signal-safe calls from here on: the runtime has other threads.
    close(failure[0]);
    setsid();
    const pid_t grandchild = fork();
    if (grandchild == 0) {
      execvp(raw[0], raw.data());
    }
    const int error = errno;
    if (grandchild <= 0) {
      (void)!write(failure[1], &error, sizeof error);
    }
    _exit(grandchild < 0 ? 1 : 127);
  }
  close(failure[1]);
  bool started = false;
  if (child > 0) {
    int error = 0;
    ssize_t got;
    while ((got = read(failure[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    started = got == 0;
    while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
  close(failure[0]);
  return started;
}

}  // namespace

bool shellOpen(const std::string& file, const std::string& parameters) {
  const std::string path = resolvePath(file);
  const bool hasSlash = path.find('/') != std::string::npos;
  std::vector<std::string> argv;
  if (isExecutableFile(path)) {
    // A name without a slash would be looked up on the search path: run this one.
    argv.push_back(hasSlash ? path : "./" + path);
  } else if (!hasSlash && access(path.c_str(), F_OK) != 0) {
    argv.push_back(path);  // a program on the search path
  } else {
    // xdg-open takes one document and nothing else; "./" keeps a name like "-x" a file.
    return spawnDetached({"xdg-open", path[0] == '-' ? "./" + path : path});
  }
  for (const std::string& p : splitParameters(parameters)) {
    argv.push_back(p);
  }
  return spawnDetached(argv);
}
