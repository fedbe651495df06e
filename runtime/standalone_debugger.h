// The debugger of a stand-alone game: runtime errors in a message box, nothing else.
#pragma once
#include "runtime/runtime_interface.h"

class StandaloneDebugger final : public Debugger {
 public:
  void onResume() override {}
  void onPause() override {}
  void onStatement(int32_t, int32_t) override {}
  void onEnterFrame(int32_t, int32_t, int32_t) override {}
  void onLeaveFrame() override {}
  void onEnd(const char*) override {}
  void onRuntimeError(const char* message) override;
  void onLog(const char*) override {}
  int32_t queryState() override { return 0; }
};
