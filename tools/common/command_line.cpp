#include "tools/common/command_line.h"

#include <cstdio>

#include "tools/common/exit_status.h"

int answerHelpOrUsageError(const char* tool, const char* usage, bool help, const std::string& problem) {
  if (help) {
    std::fputs(usage, stdout);
    return exit_status::kOk;
  }
  if (!problem.empty()) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", tool, problem.c_str(), tool);
    return exit_status::kUsage;
  }
  return -1;
}
