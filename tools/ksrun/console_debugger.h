// The host runner's debugger: end messages, runtime errors and log lines on
// standard error, and the outcome the runner turns into its exit status.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "runtime/runtime_interface.h"

class ConsoleDebugger final : public Debugger {
 public:
  enum class Outcome { Running, Ended, Error, StartupError };

  void onResume() override;
  void onPause() override;
  // A debug build names its statements by (address of the file name, line); the
  // last one is where a runtime error happened.
  void onStatement(int32_t file, int32_t line) override {
    lastFile_ = file;
    lastLine_ = line;
  }
  void onEnterFrame(int32_t, int32_t, int32_t) override {}
  void onLeaveFrame() override {}
  void onEnd(const char* message) override;
  void onRuntimeError(const char* message) override;
  void onLog(const char* message) override;
  int32_t queryState() override { return 0; }

  Outcome outcome() const { return outcome_.load(); }
  // The module's code block: statement words are trusted only when the file name
  // lies inside it, zero-terminated.
  void setModule(const uint8_t* code, size_t size) {
    code_ = code;
    codeSize_ = size;
  }

 private:
  std::atomic<Outcome> outcome_{Outcome::Running};
  int32_t lastFile_ = 0;
  int32_t lastLine_ = 0;
  const uint8_t* code_ = nullptr;
  size_t codeSize_ = 0;
};
