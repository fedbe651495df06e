// ExecFile's command text: a file (double-quoted when it holds spaces) and its
// parameters, handed to the shell.
#include "host/exec_file.h"

#include "host/sys_runtime.h"
#include "platform/shell.h"

namespace {

std::string trimSpaces(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) {
    return "";
  }
  const auto last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

}  // namespace

ShellCommand parseShellCommand(const std::string& command) {
  ShellCommand parsed;
  const auto start = command.find_first_not_of(' ');
  const std::string text = start == std::string::npos ? "" : command.substr(start);
  if (!text.empty() && text[0] == '"') {
    const auto close = text.find('"', 1);
    if (close == std::string::npos) {
      parsed.file = text;
    } else {
      parsed.file = text.substr(1, close - 1);
      parsed.parameters = text.substr(close + 1);
    }
  } else {
    const auto space = text.find(' ');
    if (space == std::string::npos) {
      parsed.file = text;
    } else {
      parsed.file = text.substr(0, space);
      parsed.parameters = text.substr(space + 1);
    }
  }
  parsed.parameters = trimSpaces(parsed.parameters);
  return parsed;
}

bool sysRuntime::execFile(const std::string& command) {
  if (command.empty()) {
    return false;
  }
  const ShellCommand parsed = parseShellCommand(command);
  return shellOpen(parsed.file, parsed.parameters);
}
