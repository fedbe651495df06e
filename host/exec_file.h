// Splitting an ExecFile command into the file to open and its parameters.
#pragma once
#include <string>

struct ShellCommand {
  std::string file;
  std::string parameters;  // trimmed of leading and trailing spaces
};

ShellCommand parseShellCommand(const std::string& command);
