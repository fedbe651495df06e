// Runs end however they end, and the process goes on where it should: faults on the
// program thread and on others, a runaway recursion with a timer alive, the host's
// signals between runs, events left between runs, floating-point modes after a fault,
// and many runs in one process leaving nothing behind.
#include <gtest/gtest.h>
#include <malloc.h>
#include <signal.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "basic/ks_error.h"
#include "basic/ks_str.h"
#include "host/sys_runtime.h"
#include "platform/fpu_mode.h"
#include "platform/window.h"
#include "runtime/entry.h"
#include "runtime/runtime_interface.h"
#include "runtime/runtime_singleton.h"
#include "tests/host/recording_debugger.h"

namespace {

using Calls = std::vector<std::string>;

Calls callsOfRun(ProgramEntry program) {
  RecordingDebugger debugger;
  theRuntime().execute(program, "", &debugger, false, 0);
  return debugger.calls;
}

// A registered entry by its signature text, as a linker would find it.
template <typename Function>
Function entryNamed(const std::string& wanted) {
  Function found = nullptr;
  while (const char* name = theRuntime().nextSymbol()) {
    if (wanted == name) {
      found = reinterpret_cast<Function>(intptr_t(theRuntime().symbolValue(name)));
    }
  }
  return found;
}

// Looked up on first use: the registry is not ready while statics are initialised.
struct Entries {
  void (*end)() = entryNamed<void (*)()>("End");
  void (*delay)(int) = entryNamed<void (*)(int)>("Delay%millisecs");
  ksStr* (*concat)(ksStr*, ksStr*) = entryNamed<ksStr* (*)(ksStr*, ksStr*)>("_ksStrConcat");
  ksStr* (*literal)(const char*) = entryNamed<ksStr* (*)(const char*)>("_ksStrConst");
};

const Entries& entries() {
  static const Entries found;
  return found;
}

// Volatile, so that the compiler emits the faulting instructions as written.
volatile uintptr_t badAddress = 16;
volatile int zero = 0;
volatile int sink = 0;

void failWithMessage() {
  runtimeError("Something failed");
}

int recurse(int depth) {
  volatile char frame[1024];
  frame[0] = char(depth);
  return zero > 0 ? 0 : recurse(depth + 1) + frame[0];
}

// Each level allocates through an entry: with a timer thread alive the allocator takes
// its lock on every call, and an overflow inside it would leave that lock held.
int recurseAllocating(int depth) {
  volatile char frame[64];
  frame[0] = char(depth);
  entries().concat(entries().literal("abc"), entries().literal("def"));
  return zero > 0 ? 0 : recurseAllocating(depth + 1) + frame[0];
}

void normalEnd() {}
void endsWithEnd() { entries().end(); }
void endsWithRuntimeError() { reinterpret_cast<void (*)()>(ksEntry<&failWithMessage>())(); }
void writesToABadAddress() { *reinterpret_cast<volatile int*>(badAddress) = 1; }
void dividesByZero() {
  int quotient;
  asm volatile("cltd; idivl %2" : "=a"(quotient) : "a"(7), "r"(zero) : "edx");
  sink = quotient;
}
void runsAnIllegalInstruction() { asm volatile("ud2"); }
void overflowsTheStack() { sink = recurse(0); }
void overflowsWithATimerAlive() {
  currentRuntime->createTimer(60);
  sink = recurseAllocating(0);
}
void endedByTheHost() {
  std::thread([] { theRuntime().requestEnd(); }).join();
  for (;;) {
    entries().delay(5);
  }
}

struct Ending {
  ProgramEntry program;
  Calls expected;
};

const Ending kEndings[] = {
    {normalEnd, {"end Program has ended"}},
    {endsWithEnd, {}},
    {endsWithRuntimeError, {"error Something failed"}},
    {writesToABadAddress, {"error Illegal memory address"}},
    {dividesByZero, {"error Integer divide by zero"}},
    {runsAnIllegalInstruction, {"error Illegal instruction"}},
    {overflowsTheStack, {"error Stack overflow!"}},
    {endedByTheHost, {}},
};

TEST(RunEndings, RecursionWithATimerAliveEndsInStackOverflowAndTheNextRunWorks) {
  EXPECT_EQ(callsOfRun(overflowsWithATimerAlive), Calls{"error Stack overflow!"});
  EXPECT_EQ(callsOfRun(normalEnd), Calls{"end Program has ended"});
}

bool bodyRan = false;
void delaysThenMarks() {
  entries().delay(20);
  bodyRan = true;
}

TEST(RunEndings, AWindowClosedBetweenRunsDoesNotEndTheNextOne) {
  callsOfRun(normalEnd);
  HostEvent close;
  close.kind = HostEventKind::Close;
  injectHostEvent(close);
  bodyRan = false;
  EXPECT_EQ(callsOfRun(delaysThenMarks), Calls{"end Program has ended"});
  EXPECT_TRUE(bodyRan);
}

// A debugger that ignores everything; tests override what they watch.
class SilentDebugger : public Debugger {
 public:
  void onResume() override {}
  void onPause() override {}
  void onStatement(int32_t, int32_t) override {}
  void onEnterFrame(int32_t, int32_t, int32_t) override {}
  void onLeaveFrame() override {}
  void onEnd(const char*) override {}
  void onRuntimeError(const char*) override {}
  void onLog(const char*) override {}
  int32_t queryState() override { return 0; }
};

// Records the floating-point modes in force while the error is reported, which is
// after the jump back from the fault handler.
class ModeRecordingDebugger final : public SilentDebugger {
 public:
  void onRuntimeError(const char*) override {
    word = readFpuControlWord();
    mxcsr = readMxcsr();
  }
  uint16_t word = 0;
  uint32_t mxcsr = 0;
};

void changesTheSseRounding() {
  writeMxcsr(0x7F80);  // round toward zero
}

void changesTheSseRoundingThenDivides() {
  changesTheSseRounding();
  dividesByZero();
}

TEST(RunEndings, TeardownAfterAFaultRunsInTheRunsFloatingPointModes) {
  const uint32_t hostMxcsr = readMxcsr();
  writeMxcsr(0x9FC0);  // the host flushes denormals to zero
  ModeRecordingDebugger debugger;
  theRuntime().execute(dividesByZero, "", &debugger, false, 0);
  EXPECT_EQ(debugger.word, FpuRunMode::kRunWord);
  EXPECT_EQ(debugger.mxcsr, 0x9FC0u);
  theRuntime().execute(changesTheSseRoundingThenDivides, "", &debugger, false, 0);
  EXPECT_EQ(debugger.mxcsr, 0x9FC0u);
  theRuntime().execute(changesTheSseRounding, "", &debugger, false, 0);
  EXPECT_EQ(readMxcsr(), 0x9FC0u);  // what the program changed is undone
  writeMxcsr(hostMxcsr);
}

struct Usage {
  size_t heapBytes;
  int threads;
  int descriptors;
};

int entriesIn(const char* directory) {
  int count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(directory)) {
    ++count;
  }
  return count;
}

// A thread that has been joined can stay listed for a moment: wait until the count
// is down to the limit, or give up and report what is there.
int threadsSettledTo(int limit) {
  int threads = entriesIn("/proc/self/task");
  for (int i = 0; i < 250 && threads > limit; ++i) {
    usleep(20000);
    threads = entriesIn("/proc/self/task");
  }
  return threads;
}

Usage usageNow(int threadLimit) {
  return Usage{mallinfo2().uordblks, threadsSettledTo(threadLimit), entriesIn("/proc/self/fd")};
}

void runEveryEnding(int runs) {
  constexpr int kinds = sizeof kEndings / sizeof kEndings[0];
  for (int i = 0; i < runs; ++i) {
    const Ending& ending = kEndings[i % kinds];
    ASSERT_EQ(callsOfRun(ending.program), ending.expected) << "run " << i;
  }
}

TEST(RunEndings, TwoHundredRunsEndingEveryWayLeaveNothingBehind) {
  runEveryEnding(16);  // the first runs start the video subsystem and fill caches
  const Usage before = usageNow(1);
  runEveryEnding(200);
  const Usage after = usageNow(before.threads);
  EXPECT_EQ(after.threads, before.threads);
  EXPECT_EQ(after.descriptors, before.descriptors);
  EXPECT_LT(after.heapBytes, before.heapBytes + 64 * 1024);
}

// Faults and signals that are not the program's end the process as they would end any
// program; each case runs in a child process of its own.
void programWithAFaultingHelper() {
  std::thread helper([] {
    usleep(20000);
    *reinterpret_cast<volatile int*>(badAddress) = 1;
  });
  helper.detach();
  for (;;) {
    entries().delay(5);
  }
}

void faultsInsideTheCLibrary() {
  volatile size_t length = 64;
  std::memset(reinterpret_cast<void*>(badAddress), 0, length);
}

// Taken for the program's, the helper's fault would be reported as a runtime error.
class ExitOnErrorDebugger final : public SilentDebugger {
 public:
  void onRuntimeError(const char*) override { _exit(3); }
};

TEST(RunEndingsDeathTest, AFaultOnAnotherThreadCrashesAsItWouldWithoutARun) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  ExitOnErrorDebugger debugger;
  EXPECT_EXIT(theRuntime().execute(programWithAFaultingHelper, "", &debugger, false, 0),
              testing::KilledBySignal(SIGSEGV), "");
}

TEST(RunEndingsDeathTest, AFaultInsideALibraryIsReportedAndEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(callsOfRun(faultsInsideTheCLibrary), testing::ExitedWithCode(kUnrecoverableFaultStatus),
              "Illegal memory address inside library code");
}

TEST(RunEndingsDeathTest, SigtermBetweenRunsStaysTheHosts) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        callsOfRun(normalEnd);
        raise(SIGTERM);
        usleep(200000);
        std::_Exit(0);
      },
      testing::KilledBySignal(SIGTERM), "");
}

}  // namespace
