// A fixture that runs the graphics and input modules as a program would, with events
// put into the window's queue as the window system delivers them: a person typing,
// clicking and moving the mouse. The devices see them at their next poll.
#pragma once

#include "input/input_commands.h"
#include "input/sys_input.h"
#include "tests/graphics/display_fixture.h"

class InputTest : public DisplayTest {
 protected:
  void SetUp() override {
    DisplayTest::SetUp();
    if (HasFatalFailure()) {
      return;
    }
    attachDevices();
    ASSERT_TRUE(input_create());
  }
  void TearDown() override {
    input_destroy();
    DisplayTest::TearDown();
  }
  // Runs before the input manager is made (joysticks are listed then).
  virtual void attachDevices() {}

  static void key(int code, bool down) {
    HostEvent e{down ? HostEventKind::KeyDown : HostEventKind::KeyUp};
    e.code = code;
    injectHostEvent(e);
  }
  static void tap(int code) {
    key(code, true);
    key(code, false);
  }
  static void autoRepeat(int code) {
    HostEvent e{HostEventKind::KeyDown};
    e.code = code;
    e.repeat = true;
    injectHostEvent(e);
  }
  static void moveTo(int x, int y) {
    HostEvent e{HostEventKind::MouseMove};
    e.x = x;
    e.y = y;
    injectHostEvent(e);
  }
  static void moveBy(int dx, int dy) {
    HostEvent e{HostEventKind::MouseMove};
    e.dx = dx;
    e.dy = dy;
    injectHostEvent(e);
  }
  static void button(int number, bool down) {
    HostEvent e{down ? HostEventKind::MouseDown : HostEventKind::MouseUp};
    e.button = number;
    injectHostEvent(e);
  }
  static void wheel(int notches) {
    HostEvent e{HostEventKind::MouseWheel};
    e.wheel = notches * 120;
    injectHostEvent(e);
  }
  static void closeWindow() { injectHostEvent(HostEvent{HostEventKind::Close}); }

  sysInput& manager() { return *inputState.manager; }
};
