// The message pump: pause, resume and end requests, the close prompt, the end and
// error reports, and delay's slicing.
#include "tests/host/recording_debugger.h"

#include "platform/clock.h"

namespace {

using Calls = std::vector<std::string>;

using MessagePump = HostTest;

TEST_F(MessagePump, OnlyOneRuntimeAtATime) {
  RecordingDebugger other;
  EXPECT_EQ(sysRuntime::create(nullptr, "", &other, 0), nullptr);
  EXPECT_EQ(runtime->window().title(), "Kestrel Runtime Window");
}

TEST(MessagePumpFlags, BlankTitleFlagGivesASingleSpace) {
  RecordingDebugger debugger;
  sysRuntime* runtime = sysRuntime::create(nullptr, "", &debugger, 3);
  ASSERT_NE(runtime, nullptr);
  EXPECT_EQ(runtime->window().title(), " ");
  sysRuntime::destroy(runtime);
}

TEST_F(MessagePump, EmptyQueueReturnsRunning) {
  EXPECT_TRUE(runtime->pollEvents());
  EXPECT_TRUE(debugger.calls.empty());
}

TEST_F(MessagePump, PauseThenResumeWhileBlocked) {
  postHostEvent(HostEventKind::Pause);
  postHostEvent(HostEventKind::Resume);
  EXPECT_TRUE(runtime->pollEvents());
  EXPECT_EQ(debugger.calls, (Calls{"pause", "resume"}));
  EXPECT_FALSE(hostState.paused);
}

TEST_F(MessagePump, RepeatedRequestsChangeNothing) {
  postHostEvent(HostEventKind::Resume);  // not paused: nothing
  EXPECT_TRUE(runtime->pollEvents());
  postHostEvent(HostEventKind::Pause);
  postHostEvent(HostEventKind::Pause);   // already paused: nothing
  postHostEvent(HostEventKind::Resume);
  EXPECT_TRUE(runtime->pollEvents());
  EXPECT_EQ(debugger.calls, (Calls{"pause", "resume"}));
}

TEST_F(MessagePump, EndRequestWakesAPausedProgramAndEndsIt) {
  runtime->stopProgram();
  EXPECT_EQ(debugger.calls, (Calls{"pause"}));
  // What requestEnd does from another thread.
  hostState.debugger.store(nullptr);
  hostState.running.store(false);
  postHostEvent(HostEventKind::End);
  EXPECT_FALSE(runtime->pollEvents());
}

TEST_F(MessagePump, ClosePromptCancelledKeepsRunning) {
  runtime->setTitle("My Game", "Really quit?");
  setMessageBoxTestAnswer(MessageBoxAnswer::Cancel);
  const int before = messageBoxCount();
  injectHostEvent(HostEvent{HostEventKind::Close});
  EXPECT_TRUE(runtime->pollEvents());
  EXPECT_EQ(messageBoxCount(), before + 1);
  const MessageBoxRequest& box = lastMessageBox();
  EXPECT_EQ(box.caption, "My Game");
  EXPECT_EQ(box.text, "Really quit?");
  EXPECT_TRUE(box.okCancel);
  EXPECT_TRUE(box.warningIcon);
  EXPECT_TRUE(box.topmost);
  EXPECT_EQ(box.owner, &runtime->window());
}

TEST_F(MessagePump, ClosePromptAnsweredOkEndsWithoutTellingTheDebugger) {
  runtime->setTitle("My Game", "Really quit?");
  setMessageBoxTestAnswer(MessageBoxAnswer::Ok);
  injectHostEvent(HostEvent{HostEventKind::Close});
  EXPECT_FALSE(runtime->pollEvents());
  EXPECT_TRUE(debugger.calls.empty());
  runtime->reportEnd("Program has ended");  // detached: nothing more is said
  EXPECT_TRUE(debugger.calls.empty());
}

TEST_F(MessagePump, CloseWithoutPromptAsksNothing) {
  setMessageBoxTestAnswer(MessageBoxAnswer::Cancel);
  const int before = messageBoxCount();
  injectHostEvent(HostEvent{HostEventKind::Close});
  EXPECT_FALSE(runtime->pollEvents());
  EXPECT_EQ(messageBoxCount(), before);
}

TEST_F(MessagePump, ClosingWhilePausedInStopEndsTheProgram) {
  runtime->stopProgram();
  injectHostEvent(HostEvent{HostEventKind::Close});
  EXPECT_FALSE(runtime->pollEvents());
}

TEST_F(MessagePump, EndReportDetachesTheDebuggerOnce) {
  runtime->reportEnd("Program has ended");
  runtime->reportEnd("again");
  runtime->reportError("late error");
  // Detached before the pause, so the debugger hears only the end.
  EXPECT_EQ(debugger.calls, (Calls{"end Program has ended"}));
  EXPECT_FALSE(hostState.running.load());
  EXPECT_TRUE(hostState.paused);
  EXPECT_FALSE(runtime->pollEvents());
}

TEST_F(MessagePump, ErrorReportStopsAndPausesTheProgram) {
  runtime->reportError("Illegal memory address");
  EXPECT_EQ(debugger.calls, (Calls{"error Illegal memory address"}));
  EXPECT_TRUE(hostState.paused);
  EXPECT_FALSE(runtime->pollEvents());
}

TEST_F(MessagePump, DebuggerRelays) {
  runtime->debugStatement(4, 5);
  runtime->debugEnter(1, 2, 3);
  runtime->debugLeave();
  runtime->debugLog("hello");
  EXPECT_EQ(debugger.calls, (Calls{"stmt 4 5", "enter 1 2 3", "leave", "log hello"}));
}

TEST_F(MessagePump, DelaySleepsInSlicesWithAPumpBeforeEachAndAfterTheLast) {
  const unsigned before = runtime->pumpCount();
  const uint32_t start = monotonicMillis();
  EXPECT_TRUE(runtime->delay(250));
  const uint32_t elapsed = monotonicMillis() - start;
  EXPECT_GE(elapsed, 250u);
  EXPECT_EQ(runtime->pumpCount() - before, 4u);  // 100 + 100 + 50, then one more
}

TEST_F(MessagePump, DelayZeroPumpsOnce) {
  const unsigned before = runtime->pumpCount();
  EXPECT_TRUE(runtime->delay(0));
  EXPECT_EQ(runtime->pumpCount() - before, 1u);
}

TEST_F(MessagePump, DelayWithAPendingEndReturnsFalseAtOnce) {
  hostState.running.store(false);
  const uint32_t start = monotonicMillis();
  EXPECT_FALSE(runtime->delay(5000));
  EXPECT_LT(monotonicMillis() - start, 1000u);
}

TEST_F(MessagePump, CommandLineAndTitle) {
  EXPECT_EQ(runtime->commandLine(), "args");
  runtime->setTitle("Title", "");
  EXPECT_EQ(runtime->window().title(), "Title");
  EXPECT_EQ(runtime->title(), "Title");
  EXPECT_EQ(runtime->closePrompt(), "");
}

}  // namespace
