#include "tests/programs/process_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

extern char** environ;

pid_t spawnProcess(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                   const posix_spawn_file_actions_t* actions) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    env.emplace_back(*e);
  }
  env.insert(env.end(), environment.begin(), environment.end());
  std::vector<char*> rawArgs;
  for (const auto& a : argv) {
    rawArgs.push_back(const_cast<char*>(a.c_str()));
  }
  rawArgs.push_back(nullptr);
  std::vector<char*> rawEnv;
  for (const auto& e : env) {
    rawEnv.push_back(const_cast<char*>(e.c_str()));
  }
  rawEnv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, rawArgs[0], actions, nullptr, rawArgs.data(), rawEnv.data()) != 0) {
    return -1;
  }
  return pid;
}

ProcessResult runProcess(const std::vector<std::string>& argv, const std::vector<std::string>& environment) {
  ProcessResult result;
  int out[2];
  int err[2];
  // Close-on-exec, so that a child spawned meanwhile by another thread does not keep
  // these pipes open (this one's child gets them through dup2, which clears the flag).
  if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
    return result;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  posix_spawn_file_actions_addclose(&actions, err[0]);
  const pid_t pid = spawnProcess(argv, environment, &actions);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  close(err[1]);
  if (pid < 0) {
    close(out[0]);
    close(err[0]);
    return result;
  }
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open = 2;
  while (open > 0 && poll(fds, 2, -1) > 0) {
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP))) {
        char buffer[4096];
        const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
        if (n <= 0) {
          close(fds[i].fd);
          fds[i].fd = -1;
          --open;
        } else {
          sinks[i]->append(buffer, size_t(n));
        }
      }
    }
  }
  int status = 0;
  waitpid(pid, &status, 0);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string makeTempDir() {
  char pattern[] = "/tmp/kestrel-test-XXXXXX";
  const char* dir = mkdtemp(pattern);
  return dir ? std::string(dir) : std::string("/tmp");
}
