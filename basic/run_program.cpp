#include "basic/run_program.h"

#include <string>

#include "basic/ks_error.h"
#include "host/sys_runtime.h"
#include "runtime/modules.h"
#include "runtime/program_jump.h"

namespace {

const LanguageModule kModules[] = {
    {basic_create, basic_destroy, "basic_create failed"},
    {math_create, math_destroy, "math_create failed"},
    {string_create, string_destroy, "string_create failed"},
    {stream_create, stream_destroy, "stream_create failed"},
    {sockets_create, sockets_destroy, "sockets_create failed"},
    {filesystem_create, filesystem_destroy, "filesystem_create failed"},
    {bank_create, bank_destroy, "bank_create failed"},
    {graphics_create, graphics_destroy, "graphics_create failed"},
    {input_create, input_destroy, "input_create failed"},
    {audio_create, audio_destroy, "audio_create failed"},
    {multiplay_create, multiplay_destroy, "multiplay_create failed"},
};
constexpr int kModuleCount = sizeof kModules / sizeof kModules[0];

// Calls the compiled entry; a ksEx from a command comes back through programJump.
void callProgram(ProgramEntry entry) {
  if (!currentRuntime->pollEvents()) {
    silentEnd();  // an end requested before the start
  }
  entry();
  currentRuntime->reportEnd("Program has ended");
}

}  // namespace

void startupError(const char* text) {
  const std::string message = std::string("Startup Error: ") + text;
  if (currentRuntime) {
    currentRuntime->reportEnd(message.c_str());
  }
}

bool createModules(const LanguageModule* modules, int count) {
  for (int k = 0; k < count; ++k) {
    if (!modules[k].create()) {
      startupError(modules[k].failure);
      destroyModules(modules, k);
      return false;
    }
  }
  return true;
}

void destroyModules(const LanguageModule* modules, int count) {
  for (int k = count - 1; k >= 0; --k) {
    modules[k].destroy();
  }
}

bool createAll() {
  return createModules(kModules, kModuleCount);
}

void destroyAll() {
  destroyModules(kModules, kModuleCount);
}

const char* runProgram(sysRuntime* runtime, ProgramEntry entry, bool debug) {
  debugMode = debug;
  currentRuntime = runtime;
  if (!createAll()) {
    return "Unable to start program";
  }
  const char* volatile result = nullptr;  // set on both sides of the jump
  if (sigsetjmp(programJump.target, 1) == 0) {
    programJump.armed = true;
    try {
      callProgram(entry);
    } catch (const ksEx& e) {
      result = e.message;
    }
  } else {
    // Back from a command's wrapper or from the fault handler.
    result = programJump.message;
    if (programJump.fault) {
      programJump.fault = false;
      runtime->reportError(result);
    }
  }
  programJump.armed = false;
  destroyAll();
  return result;
}
