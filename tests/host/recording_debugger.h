// A Debugger that records every notification, and a fixture that gives each test
// its own sysRuntime.
#pragma once
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "basic/ks_error.h"
#include "host/sys_runtime.h"
#include "platform/message_box.h"
#include "runtime/runtime_interface.h"

class RecordingDebugger final : public Debugger {
 public:
  void onResume() override { calls.push_back("resume"); }
  void onPause() override { calls.push_back("pause"); }
  void onStatement(int32_t a, int32_t b) override { calls.push_back("stmt " + std::to_string(a) + " " + std::to_string(b)); }
  void onEnterFrame(int32_t a, int32_t b, int32_t c) override {
    calls.push_back("enter " + std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c));
  }
  void onLeaveFrame() override { calls.push_back("leave"); }
  void onEnd(const char* message) override { calls.push_back(std::string("end ") + message); }
  void onRuntimeError(const char* message) override { calls.push_back(std::string("error ") + message); }
  void onLog(const char* message) override { calls.push_back(std::string("log ") + message); }
  int32_t queryState() override { return 0; }

  std::vector<std::string> calls;
};

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    runtime = sysRuntime::create(nullptr, "args", &debugger, 0);
    ASSERT_NE(runtime, nullptr);
  }
  void TearDown() override {
    setMessageBoxTestAnswer(std::nullopt);
    sysRuntime::destroy(runtime);
    hostState.displayKind = DisplayKind::None;
  }

  // The text of the runtime error a call raises ("(silent end)" for a quiet end), or ""
  // when it raises none. The run is then revived, so a test can go on.
  std::string errorOf(const std::function<void()>& call) {
    std::string message;
    try {
      call();
    } catch (const ksEx& e) {
      message = e.message ? e.message : "(silent end)";
    }
    hostState.running.store(true);
    hostState.paused = false;
    hostState.debugger.store(&debugger);
    return message;
  }

  RecordingDebugger debugger;
  sysRuntime* runtime = nullptr;
};
