// The Runtime singleton: symbol enumeration, start-up and shut-down, and execute with
// its fault translation, floating-point mode and argument trimming.
#include <mutex>
#include <string>

#include "basic/ks_error.h"
#include "basic/run_program.h"
#include "host/sys_runtime.h"
#include "platform/fault_guard.h"
#include "platform/fpu_mode.h"
#include "runtime/command_registry.h"
#include "runtime/program_jump.h"
#include "runtime/runtime_interface.h"
#include "runtime/runtime_singleton.h"
#include "runtime/symbol_table.h"
#include "runtime/trim_arguments.h"

namespace {

SymbolTable symbols;

void registerSymbol(CommandSignature signature, void* entry) {
  symbols.add(signature, entry);
}

class RuntimeObject final : public Runtime {
 public:
  int32_t getVersion() override { return 172; }
  const char* nextSymbol() override { return symbols.next(); }
  int32_t symbolValue(const char* name) override { return symbols.value(name); }
  void startUp(void* instanceHandle) override { instance_ = instanceHandle; }
  void shutDown() override { symbols.clear(); }
  void execute(ProgramEntry entry, const char* args, Debugger* debugger, bool debug,
               int32_t windowFlags) override;
  void requestPause() override { postIfRunning(HostEventKind::Pause); }
  void requestResume() override { postIfRunning(HostEventKind::Resume); }
  void requestEnd() override;
  void reportMemory(std::streambuf*) override {}

 private:
  // Under the lifecycle lock: a request made as a run ends reaches that run or none.
  static void postIfRunning(HostEventKind kind) {
    const std::lock_guard<std::mutex> lock(hostState.lifecycle);
    if (hostState.current.load()) {
      postHostEvent(kind);
    }
  }
  void* instance_ = nullptr;
};

// The last word of a run whose fault cannot be unwound; the process ends after it.
void reportUnrecoverableFault(const char* message) {
  if (Debugger* debugger = hostState.debugger.exchange(nullptr)) {
    debugger->onRuntimeError(message);
  }
}

void RuntimeObject::execute(ProgramEntry entry, const char* args, Debugger* debugger, bool debug,
                            int32_t windowFlags) {
  const FaultGuard faults(FaultTarget{&programJump.target, &programJump.armed, &programJump.message,
                                      &programJump.fault, reportUnrecoverableFault});
  const FpuRunMode fpu;
  const std::string trimmed = trimArguments(args ? args : "");
  if (sysRuntime* runtime = sysRuntime::create(instance_, trimmed, debugger, windowFlags)) {
    runProgram(runtime, entry, debug);
    currentRuntime = nullptr;
    sysRuntime::destroy(runtime);
  }
}

void RuntimeObject::requestEnd() {
  const std::lock_guard<std::mutex> lock(hostState.lifecycle);
  if (hostState.current.load()) {
    hostState.debugger.store(nullptr);
    hostState.running.store(false);
    postHostEvent(HostEventKind::End);
  }
}

}  // namespace

const char* SymbolTable::next() {
  if (entries_.empty()) {
    linkAll(registerSymbol);
    cursor_ = entries_.begin();
  }
  if (cursor_ == entries_.end()) {
    entries_.clear();
    return nullptr;
  }
  return (cursor_++)->first;
}

int32_t SymbolTable::value(const char* name) const {
  const auto found = entries_.find(name);
  return found == entries_.end() ? -1 : int32_t(reinterpret_cast<intptr_t>(found->second));
}

void SymbolTable::clear() {
  entries_.clear();
  cursor_ = entries_.end();
}

Runtime& theRuntime() {
  static RuntimeObject runtime;
  return runtime;
}
