// The keyboard, mouse and joystick commands. Each query lets its device poll first, so
// the state is as fresh as the moment of the call; the wait commands pump events and end
// the program when it must stop.
#include "input/input_commands.h"

#include "basic/ks_error.h"
#include "host/sys_runtime.h"
#include "input/sys_input.h"
#include "runtime/entry.h"
#include "runtime/modules.h"

InputState inputState;

namespace {

InputState& in = inputState;

// One mouse wheel notch is 120 units.
constexpr float kWheelNotch = 0.008333334f;
// A stick further than a third of the way out points in that direction.
constexpr float kDirectionThreshold = 0.33333334f;

sysJoystick* joystickAt(int32_t port) {
  return port >= 0 && port < int32_t(in.joysticks.size()) ? in.joysticks[size_t(port)] : nullptr;
}

// Waits for the next press on the device's queue that `result` turns into a non-zero
// value (presses that give 0 are dropped), pumping events every 20 ms meanwhile.
template <typename Result>
int32_t waitForPress(sysDevice& device, Result result) {
  for (;;) {
    pumpOrEnd();
    if (const int32_t code = device.nextQueued()) {
      if (const int32_t value = result(code)) {
        return value;
      }
    }
    if (!currentRuntime->delay(20)) {
      silentEnd();
    }
  }
}

int32_t direction(float value) {
  return value < -kDirectionThreshold ? -1 : (value > kDirectionThreshold ? 1 : 0);
}

int32_t wheelNotches() {
  return int32_t(in.mouse->axis(2) * kWheelNotch);
}

int32_t buttonItself(int32_t code) {
  return code;
}

}  // namespace

namespace inputcmd {

int32_t keyDown(int32_t key) { return in.keyboard->isDown(key); }
int32_t keyHit(int32_t key) { return in.keyboard->hitCount(key); }
int32_t getKey() { return in.manager->toAscii(in.keyboard->nextQueued()); }

int32_t waitKey() {
  return waitForPress(*in.keyboard, [](int32_t code) { return in.manager->toAscii(code); });
}

void flushKeys() { in.keyboard->flush(); }

int32_t mouseDown(int32_t button) { return in.mouse->isDown(button); }
int32_t mouseHit(int32_t button) { return in.mouse->hitCount(button); }
int32_t getMouse() { return in.mouse->nextQueued(); }
int32_t waitMouse() { return waitForPress(*in.mouse, buttonItself); }
int32_t mouseX() { return int32_t(in.mouse->axis(0)); }
int32_t mouseY() { return int32_t(in.mouse->axis(1)); }
int32_t mouseZ() { return wheelNotches(); }

int32_t mouseXSpeed() {
  const int32_t x = int32_t(in.mouse->axis(0));
  const int32_t speed = x - in.lastX;
  in.lastX = x;
  return speed;
}

int32_t mouseYSpeed() {
  const int32_t y = int32_t(in.mouse->axis(1));
  const int32_t speed = y - in.lastY;
  in.lastY = y;
  return speed;
}

int32_t mouseZSpeed() {
  const int32_t z = wheelNotches();
  const int32_t speed = z - in.lastZ;
  in.lastZ = z;
  return speed;
}

void flushMouse() { in.mouse->flush(); }

// No clamping: the position is the program's to choose.
void moveMouse(int32_t x, int32_t y) {
  in.lastX = x;
  in.lastY = y;
  in.manager->moveMouse(x, y);
}

int32_t joyType(int32_t port) { return in.manager->joystickType(port); }

int32_t joyDown(int32_t button, int32_t port) {
  sysJoystick* stick = joystickAt(port);
  return stick ? stick->isDown(button) : 0;
}

int32_t joyHit(int32_t button, int32_t port) {
  sysJoystick* stick = joystickAt(port);
  return stick ? stick->hitCount(button) : 0;
}

int32_t getJoy(int32_t port) {
  sysJoystick* stick = joystickAt(port);
  return stick ? stick->nextQueued() : 0;
}

int32_t waitJoy(int32_t port) {
  sysJoystick* stick = joystickAt(port);
  return stick ? waitForPress(*stick, buttonItself) : 0;
}

float joyX(int32_t port) {
  sysJoystick* stick = joystickAt(port);
  return stick ? stick->axis(0) : 0.0f;
}

float joyY(int32_t port) {
  sysJoystick* stick = joystickAt(port);
  return stick ? stick->axis(1) : 0.0f;
}

float joyZ(int32_t port) {
  sysJoystick* stick = joystickAt(port);
  return stick ? stick->axis(2) : 0.0f;
}

int32_t joyXDir(int32_t port) {
  sysJoystick* stick = joystickAt(port);
  return stick ? direction(stick->axis(0)) : 0;
}

int32_t joyYDir(int32_t port) {
  sysJoystick* stick = joystickAt(port);
  return stick ? direction(stick->axis(1)) : 0;
}

int32_t joyZDir(int32_t port) {
  sysJoystick* stick = joystickAt(port);
  return stick ? direction(stick->axis(2)) : 0;
}

void flushJoy() {
  for (sysJoystick* stick : in.joysticks) {
    stick->flush();
  }
}

}  // namespace inputcmd

void input_link(LinkCallback callback) {
  using namespace inputcmd;
  callback("%KeyDown%key", ksEntry<&keyDown>());
  callback("%KeyHit%key", ksEntry<&keyHit>());
  callback("%GetKey", ksEntry<&getKey>());
  callback("%WaitKey", ksEntry<&waitKey>());
  callback("FlushKeys", ksEntry<&flushKeys>());
  callback("%MouseDown%button", ksEntry<&mouseDown>());
  callback("%MouseHit%button", ksEntry<&mouseHit>());
  callback("%GetMouse", ksEntry<&getMouse>());
  callback("%WaitMouse", ksEntry<&waitMouse>());
  callback("%MouseWait", ksEntry<&waitMouse>());
  callback("%MouseX", ksEntry<&mouseX>());
  callback("%MouseY", ksEntry<&mouseY>());
  callback("%MouseZ", ksEntry<&mouseZ>());
  callback("%MouseXSpeed", ksEntry<&mouseXSpeed>());
  callback("%MouseYSpeed", ksEntry<&mouseYSpeed>());
  callback("%MouseZSpeed", ksEntry<&mouseZSpeed>());
  callback("FlushMouse", ksEntry<&flushMouse>());
  callback("MoveMouse%x%y", ksEntry<&moveMouse>());
  callback("%JoyType%port=0", ksEntry<&joyType>());
  callback("%JoyDown%button%port=0", ksEntry<&joyDown>());
  callback("%JoyHit%button%port=0", ksEntry<&joyHit>());
  callback("%GetJoy%port=0", ksEntry<&getJoy>());
  callback("%WaitJoy%port=0", ksEntry<&waitJoy>());
  callback("%JoyWait%port=0", ksEntry<&waitJoy>());
  callback("#JoyX%port=0", ksEntry<&joyX>());
  callback("#JoyY%port=0", ksEntry<&joyY>());
  callback("#JoyZ%port=0", ksEntry<&joyZ>());
  callback("%JoyXDir%port=0", ksEntry<&joyXDir>());
  callback("%JoyYDir%port=0", ksEntry<&joyYDir>());
  callback("%JoyZDir%port=0", ksEntry<&joyZDir>());
  callback("FlushJoy", ksEntry<&flushJoy>());
}
