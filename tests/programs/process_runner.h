// Runs a tool of the build as a child process and collects what it printed.
#pragma once
#include <spawn.h>

#include <string>
#include <vector>

struct ProcessResult {
  int exitCode = -1;  // -1 when the child did not exit normally
  std::string out;
  std::string err;
};

// Environment entries ("NAME=value") are added to this process's environment.
ProcessResult runProcess(const std::vector<std::string>& argv,
                         const std::vector<std::string>& environment = {});

// Starts argv[0] with the file actions given and the environment entries added; the
// child's pid, or -1 when it could not be started.
pid_t spawnProcess(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                   const posix_spawn_file_actions_t* actions);

// A fresh temporary directory for the calling test.
std::string makeTempDir();
