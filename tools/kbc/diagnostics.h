// Source files and compile errors: every error names its file, line and column and is
// printed with the source line and a caret under the place.
#pragma once
#include <stdexcept>
#include <string>
#include <vector>

struct SourcePos {
  int file = 0;  // index into SourceSet::files
  int line = 1;
  int column = 1;
};

struct SourceFile {
  std::string path;
  std::string text;
};

struct SourceSet {
  std::vector<SourceFile> files;
};

class CompileError : public std::runtime_error {
 public:
  CompileError(SourcePos where, const std::string& message) : std::runtime_error(message), pos(where) {}
  SourcePos pos;
};

[[noreturn]] inline void fail(SourcePos pos, const std::string& message) {
  throw CompileError(pos, message);
}

// "file:line:column: error: message", the source line and a caret line.
std::string formatError(const SourceSet& sources, const CompileError& error);
