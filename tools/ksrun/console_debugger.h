// The host runner's debugger: end messages, runtime errors and log lines on
// standard error, and the outcome the runner turns into its exit status.
#pragma once
#include <atomic>

#include "runtime/runtime_interface.h"

class ConsoleDebugger final : public Debugger {
 public:
  enum class Outcome { Running, Ended, Error, StartupError };

  void onResume() override;
  void onPause() override;
  void onStatement(int32_t, int32_t) override {}
  void onEnterFrame(int32_t, int32_t, int32_t) override {}
  void onLeaveFrame() override {}
  void onEnd(const char* message) override;
  void onRuntimeError(const char* message) override;
  void onLog(const char* message) override;
  int32_t queryState() override { return 0; }

  Outcome outcome() const { return outcome_.load(); }

 private:
  std::atomic<Outcome> outcome_{Outcome::Running};
};
