// The commands a program may call, read from the runtime's own registry at compile
// time (the same source the C header is generated from), so a command's name, result,
// parameters and defaults never drift from the runtime that links the program.
#pragma once
#include <map>
#include <string>
#include <vector>

struct CommandParam {
  char sigil = '%';
  std::string name;
  bool hasDefault = false;
  bool defaultIsText = false;  // ="" (the empty string)
  int defaultValue = 0;
};

struct Command {
  std::string name;      // as registered ("KeyDown")
  std::string linkName;  // "_fkeydown"
  char result = 0;       // '%', '#', '$' or 0
  std::vector<CommandParam> params;
  size_t required() const;
};

// Lower-cased command name -> command.
using CommandTable = std::map<std::string, Command>;

const CommandTable& commandTable();
// Parses one registered signature ("$Mid$string%start%count=-1").
Command parseSignature(const char* signature);
