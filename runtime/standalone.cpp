// The stand-alone start-up: link the module stored in the executable, run it with
// the built-in debugger (errors in a message box), end the process with code 0.
#include <dlfcn.h>

#include <cstdlib>

#include "platform/message_box.h"
#include "platform/process.h"
#include "runtime/module_linker.h"
#include "runtime/runtime_interface.h"
#include "runtime/runtime_singleton.h"
#include "runtime/standalone_debugger.h"
#include "runtime/trim_arguments.h"

void StandaloneDebugger::onRuntimeError(const char* message) {
  MessageBoxRequest box;
  box.caption = "Error!";
  box.text = message ? message : "";
  box.topmost = true;
  showMessageBox(box);
}

namespace {

[[noreturn]] void failLink(const LinkOutcome& outcome) {
  MessageBoxRequest box;
  box.text = outcome.error;
  showMessageBox(box);
  std::exit(outcome.exitCode);
}

// Links the module stored as resource RCDATA 1111; ends the process on failure.
uint8_t* linkModule(Runtime& runtime) {
  const RuntimeLinkTable runtimeSymbols = buildRuntimeLinkTable(runtime);
  const auto bytes = readResource(executablePath(), kResourceRcData, kModuleResourceId);
  if (!bytes) {
    failLink(LinkOutcome{nullptr, kUnableToRunModule, -1});
  }
  const LinkOutcome outcome = linkModuleBytes(bytes->data(), bytes->size(), runtimeSymbols);
  if (!outcome.code) {
    failLink(outcome);
  }
  return outcome.code;
}

}  // namespace

void runStandalone() {
  void* instance = dlopen(nullptr, RTLD_NOW);
  Runtime& runtime = theRuntime();
  runtime.startUp(instance);
  uint8_t* code = linkModule(runtime);
  const std::string args = commandLineArguments(processCommandLine());
  static StandaloneDebugger debugger;
  runtime.execute(reinterpret_cast<ProgramEntry>(code), args.c_str(), &debugger, false, 2);
  runtime.shutDown();
  std::exit(0);
}
