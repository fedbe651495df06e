// ksrun's RunEnder against a runtime that counts end requests: the delay, the stop
// signals read from the signalfd, the prompt wake-up when the run finishes, and the
// signal mask that forked children get back.
#include "tools/ksrun/run_ender.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>

namespace {

class CountingRuntime final : public Runtime {
 public:
  int32_t getVersion() override { return 0; }
  const char* nextSymbol() override { return nullptr; }
  int32_t symbolValue(const char*) override { return -1; }
  void startUp(void*) override {}
  void shutDown() override {}
  void execute(ProgramEntry, const char*, Debugger*, bool, int32_t) override {}
  void requestPause() override {}
  void requestResume() override {}
  void requestEnd() override { ++ends; }
  void reportMemory(std::streambuf*) override {}

  std::atomic<int> ends{0};
};

using Clock = std::chrono::steady_clock;

bool waitFor(const std::atomic<int>& count, int atLeast) {
  const auto deadline = Clock::now() + std::chrono::seconds(20);
  while (count.load() < atLeast && Clock::now() < deadline) {
    usleep(5000);
  }
  return count.load() >= atLeast;
}

TEST(RunEnder, FinishWakesTheThreadLongBeforeTheDelay) {
  CountingRuntime runtime;
  const auto start = Clock::now();
  RunEnder ender(runtime, 60000);
  ender.finish();
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(runtime.ends.load(), 0);
  EXPECT_EQ(ender.signal(), 0);
  EXPECT_FALSE(ender.endRequested());
}

TEST(RunEnder, AnEndThatIsDueIsAskedAgainUntilTheRunFinishes) {
  CountingRuntime runtime;
  RunEnder ender(runtime, 0);
  EXPECT_TRUE(waitFor(runtime.ends, 3));  // a run that had not started yet misses the first
  ender.finish();
  EXPECT_TRUE(ender.endRequested());
  const int asked = runtime.ends.load();
  usleep(100000);
  EXPECT_EQ(runtime.ends.load(), asked) << "no request after the run has finished";
}

TEST(RunEnder, AStopSignalIsReadFromTheSignalfdAndEndsTheRun) {
  ASSERT_TRUE(RunEnder::catchStopSignals());
  CountingRuntime runtime;
  RunEnder ender(runtime, -1);
  kill(getpid(), SIGTERM);  // blocked: it waits in the signalfd instead of ending the test
  EXPECT_TRUE(waitFor(runtime.ends, 1));
  ender.finish();
  EXPECT_EQ(ender.signal(), SIGTERM);
}

TEST(RunEnder, StopSignalsAreBlockedHereButNotInForkedChildren) {
  ASSERT_TRUE(RunEnder::catchStopSignals());
  sigset_t mask;
  pthread_sigmask(SIG_BLOCK, nullptr, &mask);
  EXPECT_TRUE(sigismember(&mask, SIGINT) && sigismember(&mask, SIGTERM));
  const pid_t child = fork();
  if (child == 0) {
    sigset_t childMask;
    sigprocmask(SIG_BLOCK, nullptr, &childMask);
    _exit(sigismember(&childMask, SIGINT) || sigismember(&childMask, SIGTERM) ? 1 : 0);
  }
  ASSERT_GT(child, 0);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

}  // namespace
