// A run end to end inside one process: execute's floating-point mode and nesting,
// runProgram's results, and module creation with its start-up errors.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "basic/ks_error.h"
#include "basic/run_program.h"
#include "host/sys_runtime.h"
#include "platform/fpu_mode.h"
#include "runtime/entry.h"
#include "runtime/runtime_interface.h"
#include "runtime/runtime_singleton.h"
#include "tests/host/recording_debugger.h"

namespace {

uint16_t wordSeenByProgram = 0;
int nestedRuns = 0;

void programReadingControlWord() {
  wordSeenByProgram = readFpuControlWord();
}

void nestedProgram() {
  ++nestedRuns;
}

void programRunningNested() {
  ++nestedRuns;
  RecordingDebugger inner;
  theRuntime().execute(nestedProgram, "", &inner, false, 0);
}

void failWithMessage() {
  runtimeError("Something failed");
}

void programCallingAFailingEntry() {
  reinterpret_cast<void (*)()>(ksEntry<&failWithMessage>())();
}

TEST(Execute, RunsWithTheRunControlWordAndRestoresTheOldOne) {
  const uint16_t before = readFpuControlWord();
  RecordingDebugger debugger;
  theRuntime().execute(programReadingControlWord, "  a  ", &debugger, false, 0);
  EXPECT_EQ(wordSeenByProgram, 0x007F);
  EXPECT_EQ(readFpuControlWord(), before);
  EXPECT_EQ(debugger.calls, (std::vector<std::string>{"end Program has ended"}));
}

TEST(Execute, NestedExecuteRunsNothing) {
  nestedRuns = 0;
  RecordingDebugger debugger;
  theRuntime().execute(programRunningNested, "", &debugger, false, 0);
  EXPECT_EQ(nestedRuns, 1);
}

TEST(Execute, RuntimeErrorInAnEntryReachesTheDebuggerOnce) {
  RecordingDebugger debugger;
  theRuntime().execute(programCallingAFailingEntry, "", &debugger, true, 0);
  EXPECT_EQ(debugger.calls, (std::vector<std::string>{"error Something failed"}));
  EXPECT_EQ(currentRuntime, nullptr);
  EXPECT_TRUE(debugMode);  // as execute was asked
}

TEST(Execute, RequestsWithoutARunDoNothing) {
  theRuntime().requestPause();
  theRuntime().requestResume();
  theRuntime().requestEnd();
  RecordingDebugger debugger;
  theRuntime().execute(programReadingControlWord, "", &debugger, false, 0);
  EXPECT_EQ(debugger.calls, (std::vector<std::string>{"end Program has ended"}));
}

std::vector<std::string> moduleLog;
bool createA() { moduleLog.push_back("create a"); return true; }
bool createB() { moduleLog.push_back("create b"); return true; }
bool failC() { moduleLog.push_back("create c"); return false; }
void destroyA() { moduleLog.push_back("destroy a"); }
void destroyB() { moduleLog.push_back("destroy b"); }
void destroyC() { moduleLog.push_back("destroy c"); }

using ModuleCreation = HostTest;

TEST_F(ModuleCreation, FailureReportsTheStartupErrorAndUnwindsInReverse) {
  moduleLog.clear();
  currentRuntime = runtime;
  const LanguageModule modules[] = {{createA, destroyA, "a_create failed"},
                                    {createB, destroyB, "b_create failed"},
                                    {failC, destroyC, "graphics_create failed"},
                                    {createA, destroyA, "never"}};
  EXPECT_FALSE(createModules(modules, 4));
  EXPECT_EQ(moduleLog, (std::vector<std::string>{"create a", "create b", "create c", "destroy b", "destroy a"}));
  EXPECT_EQ(debugger.calls, (std::vector<std::string>{"end Startup Error: graphics_create failed"}));
  EXPECT_FALSE(runtime->pollEvents());
  currentRuntime = nullptr;
}

TEST_F(ModuleCreation, AnEndRequestedBeforeTheStartEndsTheRunAtOnce) {
  hostState.running.store(false);
  wordSeenByProgram = 0;
  EXPECT_EQ(runProgram(runtime, programReadingControlWord, false), nullptr);
  EXPECT_EQ(wordSeenByProgram, 0);
  EXPECT_TRUE(debugger.calls.empty());
  currentRuntime = nullptr;
}

TEST_F(ModuleCreation, RunProgramReturnsTheErrorMessage) {
  EXPECT_STREQ(runProgram(runtime, programCallingAFailingEntry, false), "Something failed");
  currentRuntime = nullptr;
}

}  // namespace
