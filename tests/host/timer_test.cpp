// Frame timers: rate, catching up after work, rejected rates and freeing.
#include "tests/host/recording_debugger.h"

#include <filesystem>
#include <iterator>

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

TEST_F(Timers, WaitAfterFiftyMillisecondsOfWorkReturnsThreeOrFour) {
  sysTimer* timer = runtime->createTimer(60);
  runtime->waitTimer(timer);  // in step with the timer
  sleepMillis(50);
  const int ticks = runtime->waitTimer(timer);
  EXPECT_GE(ticks, 3);
  EXPECT_LE(ticks, 4);
  EXPECT_EQ(runtime->waitTimer(timer), 1);  // keeping up: one tick per wait
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

int threadCount() {
  return int(std::distance(std::filesystem::directory_iterator("/proc/self/task"), {}));
}

// A joined thread can stay listed for a moment after its join returns, so the count is
// taken again until it falls to `atMost`; only a thread that runs on never gets there.
int threadsAfterSettling(int atMost) {
  int threads = threadCount();
  for (int attempt = 0; attempt < 200 && threads > atMost; ++attempt) {
    sleepMillis(50);
    threads = threadCount();
  }
  return threads;
}

TEST_F(Timers, TimersStillAliveAtTheEndAreFreed) {
  const int before = threadCount();
  ASSERT_NE(runtime->createTimer(1000), nullptr);
  ASSERT_NE(runtime->createTimer(30), nullptr);
  EXPECT_EQ(threadCount(), before + 2) << "one thread per timer";
  sysRuntime::destroy(runtime);
  runtime = nullptr;
  EXPECT_EQ(threadsAfterSettling(before), before) << "the runtime left its timers running";
}

}  // namespace
