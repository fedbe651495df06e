// Semantic checks and i386 code generation: turns a parsed program into a module image
// (code with "__MAIN" at offset 0, data after it, the "__DATA" table, and fixups).
#pragma once
#include <cstdint>
#include <vector>

#include "tools/kbc/ast.h"
#include "tools/kbc/diagnostics.h"

struct CompileOptions {
  bool debug = false;  // statement and frame hooks, bounds checks
};

// Throws CompileError on the first semantic error.
std::vector<uint8_t> compileProgram(Program& program, const SourceSet& sources, const CompileOptions& options);
