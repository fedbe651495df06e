// The jump back to runProgram, taken by entry wrappers after a ksEx.
#include "runtime/program_jump.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <stdexcept>

#include "basic/ks_error.h"
#include "host/sys_runtime.h"

ProgramJump programJump;

void unwindToProgram(const char* message) {
  if (!programJump.armed) {
    // A wrapper called outside a run has nowhere to return to.
    std::fprintf(stderr, "Kestrel runtime: %s\n", message ? message : "program ended outside a run");
    std::abort();
  }
  programJump.message = message;
  programJump.fault = false;
  siglongjmp(programJump.target, 1);
}

const char* reportForeignException() {
  static char text[256];
  try {
    throw;
  } catch (const std::bad_alloc&) {
    std::snprintf(text, sizeof text, "Out of memory");
  } catch (const std::exception& e) {
    std::snprintf(text, sizeof text, "%s", e.what());
  } catch (...) {
    std::snprintf(text, sizeof text, "Unknown runtime exception");
  }
  if (currentRuntime) {
    currentRuntime->reportError(text);
  }
  return text;
}
