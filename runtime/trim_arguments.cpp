#include "runtime/trim_arguments.h"

std::string trimArguments(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) {
    return "";
  }
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string commandLineArguments(const std::string& commandLine) {
  const auto start = commandLine.find_first_not_of(' ');
  if (start == std::string::npos) {
    return "";
  }
  const std::string line = commandLine.substr(start);
  const auto end = line[0] == '"' ? line.find('"', 1) : line.find(' ');
  return end == std::string::npos ? "" : line.substr(end + 1);
}
