// Joysticks and game pads through virtual SDL joysticks attached before the input
// manager is made: type, axes and directions, buttons, hits and FlushJoy, and ports
// without a joystick.
#include <SDL.h>

#include "platform/clock.h"
#include "tests/input/input_fixture.h"

using namespace inputcmd;

namespace {

class Joysticks : public InputTest {
 protected:
  void attachDevices() override {
    // The headless window never has the focus, and SDL drops joystick input that
    // reaches a program in the background, as the runtime wants it on a desktop.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0) << SDL_GetError();
    pad_ = attach(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 3, 31);
    stick_ = attach(SDL_JOYSTICK_TYPE_FLIGHT_STICK, 2, 4);
  }
  void TearDown() override {
    InputTest::TearDown();
    for (SDL_Joystick* joystick : {pad_, stick_}) {
      if (joystick) {
        SDL_JoystickClose(joystick);
      }
    }
    for (int index = SDL_NumJoysticks() - 1; index >= 0; --index) {
      if (SDL_JoystickIsVirtual(index)) {
        SDL_JoystickDetachVirtual(index);
      }
    }
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    SDL_ResetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS);
  }
  static SDL_Joystick* attach(SDL_JoystickType type, int axes, int buttons) {
    const int index = SDL_JoystickAttachVirtual(type, axes, buttons, 0);
    EXPECT_GE(index, 0) << SDL_GetError();
    SDL_Joystick* joystick = index >= 0 ? SDL_JoystickOpen(index) : nullptr;
    EXPECT_NE(joystick, nullptr) << SDL_GetError();
    return joystick;
  }
  // The new state is read at the next poll, at most one every 3 ms.
  static void settle() { sleepMillis(5); }

  SDL_Joystick* pad_ = nullptr;
  SDL_Joystick* stick_ = nullptr;
};

TEST_F(Joysticks, TypesByPortAndPortsWithoutAJoystick) {
  EXPECT_EQ(manager().joystickCount(), 2);
  EXPECT_EQ(joyType(0), 1);
  EXPECT_EQ(joyType(1), 2);
  for (int port : {2, 5, -1}) {
    EXPECT_EQ(joyType(port), 0);
    EXPECT_EQ(joyDown(1, port), 0);
    EXPECT_EQ(joyHit(1, port), 0);
    EXPECT_EQ(getJoy(port), 0);
    EXPECT_EQ(joyX(port), 0.0f);
    EXPECT_EQ(joyY(port), 0.0f);
    EXPECT_EQ(joyZ(port), 0.0f);
    EXPECT_EQ(joyXDir(port), 0);
    EXPECT_EQ(waitJoy(port), 0);  // at once
  }
}

TEST_F(Joysticks, AxesRunFromMinusOneToOneAndDirectionsNeedAThirdOfTheWay) {
  SDL_JoystickSetVirtualAxis(pad_, 0, -32768);
  SDL_JoystickSetVirtualAxis(pad_, 1, 32767);
  SDL_JoystickSetVirtualAxis(pad_, 2, 0);
  settle();
  EXPECT_FLOAT_EQ(joyX(), -1.0f);
  EXPECT_NEAR(joyY(), 1.0f, 1e-4);
  EXPECT_NEAR(joyZ(), 0.0f, 1e-4);
  EXPECT_EQ(joyXDir(), -1);
  EXPECT_EQ(joyYDir(), 1);
  EXPECT_EQ(joyZDir(), 0);
  // Centred: raw 32767 or 32768.
  SDL_JoystickSetVirtualAxis(pad_, 0, -1);
  SDL_JoystickSetVirtualAxis(pad_, 1, 0);
  settle();
  EXPECT_EQ(joyXDir(), 0);
  EXPECT_EQ(joyYDir(), 0);
  // A third of the way is not yet a direction; a little more is.
  SDL_JoystickSetVirtualAxis(pad_, 0, -10922);
  SDL_JoystickSetVirtualAxis(pad_, 1, 11500);
  settle();
  EXPECT_EQ(joyXDir(), 0);
  EXPECT_EQ(joyYDir(), 1);
}

TEST_F(Joysticks, AnAxisTheDeviceLacksReadsCentred) {
  settle();
  EXPECT_NEAR(joyZ(1), 0.0f, 1e-4);
  EXPECT_EQ(joyZDir(1), 0);
}

TEST_F(Joysticks, ButtonsAreHeldCountedQueuedAndFlushed) {
  SDL_JoystickSetVirtualButton(pad_, 0, SDL_PRESSED);
  SDL_JoystickSetVirtualButton(pad_, 30, SDL_PRESSED);
  settle();
  EXPECT_EQ(joyDown(1), 1);
  EXPECT_EQ(joyDown(31), 1);
  EXPECT_EQ(joyDown(2), 0);
  SDL_JoystickSetVirtualButton(pad_, 0, SDL_RELEASED);
  settle();
  EXPECT_EQ(joyDown(1), 0);
  SDL_JoystickSetVirtualButton(pad_, 0, SDL_PRESSED);
  settle();
  EXPECT_EQ(joyHit(1), 2);
  EXPECT_EQ(joyHit(1), 0);
  EXPECT_EQ(getJoy(), 1);
  EXPECT_EQ(getJoy(), 31);
  EXPECT_EQ(getJoy(), 1);
  EXPECT_EQ(getJoy(), 0);
  SDL_JoystickSetVirtualButton(stick_, 3, SDL_PRESSED);
  settle();
  EXPECT_EQ(joyHit(4, 1), 1);
  EXPECT_EQ(joyDown(4, 0), 0);  // the other port
  SDL_JoystickSetVirtualButton(pad_, 1, SDL_PRESSED);
  settle();
  flushJoy();
  EXPECT_EQ(getJoy(), 0);
  EXPECT_EQ(joyHit(2), 0);
  EXPECT_EQ(joyDown(2), 1);
  EXPECT_EQ(getJoy(1), 0);
}

TEST_F(Joysticks, CodesOutsideTheButtonTableReadAsZero) {
  settle();
  for (int button : {-1, 0, 32, 256, 9999}) {
    EXPECT_EQ(joyDown(button), 0) << button;
    EXPECT_EQ(joyHit(button), 0) << button;
  }
}

TEST_F(Joysticks, WaitJoyReturnsTheNextButton) {
  SDL_JoystickSetVirtualButton(stick_, 2, SDL_PRESSED);
  settle();
  EXPECT_EQ(waitJoy(1), 3);
}

TEST_F(Joysticks, WaitJoyEndsTheProgramWhenTheWindowCloses) {
  closeWindow();
  EXPECT_EQ(errorOf([] { waitJoy(0); }), "(silent end)");
}

TEST_F(Joysticks, QueriesWithinThreeMillisecondsOfAPollReadTheSameState) {
  settle();
  const uint32_t start = monotonicMillis();
  EXPECT_EQ(joyDown(5), 0);  // polls
  SDL_JoystickSetVirtualButton(pad_, 4, SDL_PRESSED);
  const int32_t soon = joyDown(5);
  const uint32_t elapsed = monotonicMillis() - start;
  // A slow machine may have let 3 ms pass: then the second query has polled anew.
  if (elapsed < 2) {
    EXPECT_EQ(soon, 0);
  }
  settle();
  EXPECT_EQ(joyDown(5), 1);
}

TEST_F(Joysticks, AnUnpluggedJoystickReadsAsIdle) {
  SDL_JoystickSetVirtualButton(stick_, 0, SDL_PRESSED);
  SDL_JoystickSetVirtualAxis(stick_, 0, 32767);
  settle();
  EXPECT_EQ(joyDown(1, 1), 1);
  SDL_JoystickClose(stick_);
  stick_ = nullptr;
  ASSERT_EQ(SDL_JoystickDetachVirtual(1), 0) << SDL_GetError();
  settle();
  EXPECT_EQ(joyDown(1, 1), 0);
  EXPECT_EQ(joyX(1), 0.0f);
  EXPECT_EQ(joyType(1), 2);  // the port stays until the next run
}

}  // namespace
