// Parses tokens into the syntax tree. Include statements are spliced in at the top
// level through the loader, which reads a file and returns its index in the source set.
#pragma once
#include <functional>
#include <string>

#include "tools/kbc/ast.h"
#include "tools/kbc/lexer.h"

// Loads an included file named at pos, relative to the including file; returns its
// file index (a CompileError when it cannot be read or is included twice).
using IncludeLoader = std::function<int(const std::string& name, SourcePos pos)>;

Program parseProgram(SourceSet& sources, int mainFile, const IncludeLoader& loader);
