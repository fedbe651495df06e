#include "tools/kbc/codegen.h"

#include "tools/kbc/compiler.h"

std::vector<uint8_t> compileProgram(Program& program, const SourceSet& sources, const CompileOptions& options) {
  Compiler compiler(sources, options);
  return compiler.compile(program);
}
