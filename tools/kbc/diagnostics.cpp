#include "tools/kbc/diagnostics.h"

std::string formatError(const SourceSet& sources, const CompileError& error) {
  const SourcePos pos = error.pos;
  std::string out;
  const SourceFile* file = pos.file >= 0 && pos.file < int(sources.files.size()) ? &sources.files[pos.file] : nullptr;
  out = (file ? file->path : std::string("?")) + ":" + std::to_string(pos.line) + ":" + std::to_string(pos.column) +
        ": error: " + error.what() + "\n";
  if (!file) {
    return out;
  }
  size_t start = 0;
  for (int line = 1; line < pos.line && start < file->text.size(); ++line) {
    const size_t end = file->text.find('\n', start);
    if (end == std::string::npos) {
      return out;
    }
    start = end + 1;
  }
  size_t end = file->text.find('\n', start);
  if (end == std::string::npos) {
    end = file->text.size();
  }
  std::string line = file->text.substr(start, end - start);
  if (!line.empty() && line.back() == '\r') {
    line.pop_back();
  }
  std::string caret;
  // Tabs stay tabs so the caret lines up in a terminal.
  for (int i = 0; i + 1 < pos.column && i < int(line.size()); ++i) {
    caret += line[i] == '\t' ? '\t' : ' ';
  }
  out += "    " + line + "\n    " + caret + "^\n";
  return out;
}
