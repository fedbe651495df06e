#include "tools/kbc/command_table.h"

#include <cctype>
#include <cstdlib>

#include "runtime/command_registry.h"
#include "runtime/module_image.h"

namespace {

bool isSigil(char c) {
  return c == '%' || c == '#' || c == '$';
}

CommandTable* building = nullptr;

void collect(CommandSignature signature, void*) {
  if (signature[0] == '_') {
    return;  // internal entries and data symbols are the compiler's own business
  }
  Command command = parseSignature(signature);
  std::string key;
  for (char c : command.name) {
    key += char(std::tolower(static_cast<unsigned char>(c)));
  }
  (*building)[key] = std::move(command);
}

}  // namespace

size_t Command::required() const {
  size_t n = 0;
  while (n < params.size() && !params[n].hasDefault) {
    ++n;
  }
  return n;
}

Command parseSignature(const char* signature) {
  Command command;
  command.linkName = linkName(signature);
  const char* p = signature;
  if (isSigil(*p)) {
    command.result = *p++;
  }
  while (*p && !isSigil(*p)) {
    command.name += *p++;
  }
  while (*p) {
    CommandParam param;
    param.sigil = *p++;
    while (*p && *p != '=' && !isSigil(*p)) {
      param.name += *p++;
    }
    if (*p == '=') {
      ++p;
      param.hasDefault = true;
      if (p[0] == '"') {
        param.defaultIsText = true;
        p += 2;
      } else {
        param.defaultValue = int(std::strtol(p, const_cast<char**>(&p), 10));
      }
    }
    command.params.push_back(param);
  }
  return command;
}

const CommandTable& commandTable() {
  static CommandTable table = [] {
    CommandTable t;
    building = &t;
    linkAll(collect);
    building = nullptr;
    return t;
  }();
  return table;
}
