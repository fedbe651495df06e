// A stand-in runtime library for ksrun's tests (loaded through KESTREL_RUNTIME): it
// registers nothing, and its runs fail to start the way the real runtime reports it,
// with "Startup Error: ..." through the debugger's onEnd (basic/run_program.cpp).
#include <cstdlib>

#include "runtime/runtime_interface.h"

namespace {

class StartupFailingRuntime final : public Runtime {
 public:
  int32_t getVersion() override { return 172; }
  const char* nextSymbol() override { return nullptr; }
  int32_t symbolValue(const char*) override { return -1; }
  void startUp(void*) override {}
  void shutDown() override {}
  // FAKE_RUNTIME_QUIET set: the run returns without a word, as when no video starts.
  void execute(ProgramEntry, const char*, Debugger* debugger, bool, int32_t) override {
    if (!std::getenv("FAKE_RUNTIME_QUIET")) {
      debugger->onEnd("Startup Error: graphics_create failed");
    }
  }
  void requestPause() override {}
  void requestResume() override {}
  void requestEnd() override {}
  void reportMemory(std::streambuf*) override {}
};

}  // namespace

extern "C" __attribute__((visibility("default"))) Runtime* runtimeGetRuntime() {
  static StartupFailingRuntime runtime;
  return &runtime;
}
