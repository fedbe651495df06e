// Frame timers: rate, catching up after work, rejected rates and freeing.
#include "tests/host/recording_debugger.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>

#include "host/sys_timer.h"
#include "platform/clock.h"

namespace {

using Timers = HostTest;

TEST_F(Timers, SixtyHertzGives125TicksInTwoSeconds) {
  sysTimer* timer = runtime->createTimer(60);
  ASSERT_NE(timer, nullptr);
  const uint32_t start = monotonicMillis();
  sleepMillis(2000);
  const uint32_t ticks = timer->ticks();
  const uint32_t elapsed = monotonicMillis() - start;
  // 16 ms periods: 125 in 2 s; allow for the time the sleep overran.
  const int expected = int(elapsed) / 16;
  EXPECT_NEAR(int(ticks), expected, 3);
  EXPECT_NEAR(int(ticks), 125, 3 + int(elapsed - 2000) / 16);
  runtime->freeTimer(timer);
}

TEST_F(Timers, WaitAfterFiftyMillisecondsOfWorkReturnsThePeriodsMissed) {
  sysTimer* timer = runtime->createTimer(60);
  runtime->waitTimer(timer);  // in step with the timer
  const uint32_t inStep = monotonicMillis();
  sleepMillis(50);
  // 16 ms periods: 50 ms of work misses 3, or more when the machine is busy and the
  // sleep overruns; the bounds follow the time that really passed.
  const int before = int(monotonicMillis() - inStep) / 16;
  const int ticks = runtime->waitTimer(timer);
  const int after = int(monotonicMillis() - inStep) / 16;
  EXPECT_GE(ticks, std::max(3, before));
  EXPECT_LE(ticks, after + 1);
  // Keeping up: one tick per wait (more only when this thread was held up between them).
  const uint32_t caughtUp = monotonicMillis();
  const int next = runtime->waitTimer(timer);
  EXPECT_GE(next, 1);
  EXPECT_LE(next, 1 + int(monotonicMillis() - caughtUp) / 16);
  runtime->freeTimer(timer);
}

TEST_F(Timers, RatesOfZeroOrLessAreRejected) {
  EXPECT_EQ(runtime->createTimer(0), nullptr);
  EXPECT_EQ(runtime->createTimer(-60), nullptr);
}

TEST_F(Timers, UnknownHandlesAreIgnored) {
  sysTimer* timer = runtime->createTimer(100);
  runtime->freeTimer(timer);
  runtime->freeTimer(timer);  // already freed: ignored
  EXPECT_EQ(runtime->waitTimer(timer), 0);
}

// The ids of this process's threads.
std::set<std::string> threadIds() {
  std::set<std::string> ids;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
    ids.insert(entry.path().filename().string());
  }
  return ids;
}

// How many of `threads` are still listed. A joined thread can stay listed for a moment
// after its join returns, so the list is read again until they are gone; only a thread
// that runs on stays for good.
size_t stillListedAfterSettling(const std::set<std::string>& threads) {
  size_t listed = threads.size();
  for (int attempt = 0; attempt < 200 && listed != 0; ++attempt) {
    const std::set<std::string> now = threadIds();
    listed = size_t(std::count_if(threads.begin(), threads.end(),
                                  [&](const std::string& id) { return now.count(id) != 0; }));
    if (listed != 0) {
      sleepMillis(50);
    }
  }
  return listed;
}

TEST_F(Timers, TimersStillAliveAtTheEndAreFreed) {
  const std::set<std::string> before = threadIds();
  ASSERT_NE(runtime->createTimer(1000), nullptr);
  ASSERT_NE(runtime->createTimer(30), nullptr);
  std::set<std::string> timerThreads;
  for (const std::string& id : threadIds()) {
    if (before.count(id) == 0) {
      timerThreads.insert(id);
    }
  }
  EXPECT_EQ(timerThreads.size(), 2u) << "one thread per timer";
  sysRuntime::destroy(runtime);
  runtime = nullptr;
  EXPECT_EQ(stillListedAfterSettling(timerThreads), 0u) << "the runtime left its timers running";
}

}  // namespace
