// The mouse commands in a window: position, speeds, MoveMouse, wheel notches, buttons
// and WaitMouse.
#include "tests/input/input_fixture.h"

using namespace inputcmd;

namespace {

using Mouse = InputTest;

TEST_F(Mouse, PositionIsClampedToTheDisplay) {
  moveTo(120, 80);
  EXPECT_EQ(mouseX(), 120);
  EXPECT_EQ(mouseY(), 80);
  moveTo(-30, 5000);
  EXPECT_EQ(mouseX(), 0);
  EXPECT_EQ(mouseY(), 299);
}

TEST_F(Mouse, SpeedIsTheMovementSinceTheLastCallAndMoveMouseRebasesIt) {
  moveTo(50, 40);
  EXPECT_EQ(mouseXSpeed(), 50);
  EXPECT_EQ(mouseYSpeed(), 40);
  EXPECT_EQ(mouseXSpeed(), 0);
  EXPECT_EQ(mouseYSpeed(), 0);
  moveTo(45, 60);
  EXPECT_EQ(mouseXSpeed(), -5);
  EXPECT_EQ(mouseYSpeed(), 20);
  moveMouse(200, 100);
  EXPECT_EQ(mouseX(), 200);
  EXPECT_EQ(mouseY(), 100);
  EXPECT_EQ(mouseXSpeed(), 0);
  moveTo(210, 90);
  EXPECT_EQ(mouseXSpeed(), 10);
  EXPECT_EQ(mouseYSpeed(), -10);
}

TEST_F(Mouse, MoveMouseIsNotClamped) {
  moveMouse(-40, 9000);
  EXPECT_EQ(mouseX(), -40);
  EXPECT_EQ(mouseY(), 9000);
}

TEST_F(Mouse, WheelCountsNotchesAndZSpeedTheNotchesSinceItsLastCall) {
  wheel(1);
  wheel(1);
  wheel(1);
  EXPECT_EQ(mouseZ(), 3);
  EXPECT_EQ(mouseZSpeed(), 3);
  EXPECT_EQ(mouseZSpeed(), 0);
  wheel(-5);
  EXPECT_EQ(mouseZ(), -2);
  EXPECT_EQ(mouseZSpeed(), -5);
}

TEST_F(Mouse, ButtonsAreHeldCountedAndQueued) {
  button(1, true);
  EXPECT_EQ(mouseDown(1), 1);
  button(1, false);
  button(2, true);
  button(2, false);
  button(3, true);
  EXPECT_EQ(mouseDown(1), 0);
  EXPECT_EQ(mouseDown(3), 1);
  EXPECT_EQ(mouseHit(2), 1);
  EXPECT_EQ(mouseHit(2), 0);
  EXPECT_EQ(getMouse(), 1);
  EXPECT_EQ(getMouse(), 2);
  EXPECT_EQ(getMouse(), 3);
  EXPECT_EQ(getMouse(), 0);
  button(3, false);
  button(1, true);
  flushMouse();
  EXPECT_EQ(getMouse(), 0);
  EXPECT_EQ(mouseHit(1), 0);
  EXPECT_EQ(mouseDown(1), 1);
}

TEST_F(Mouse, WaitMouseReturnsTheNextButton) {
  button(2, true);
  button(2, false);
  EXPECT_EQ(waitMouse(), 2);
}

TEST_F(Mouse, WaitMouseEndsTheProgramWhenTheWindowCloses) {
  closeWindow();
  EXPECT_EQ(errorOf([] { waitMouse(); }), "(silent end)");
}

}  // namespace
