// Runs a tool of the build as a child process and collects what it printed.
#pragma once
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

// A fresh temporary directory for the calling test.
std::string makeTempDir();
