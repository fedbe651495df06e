// The input module's commands and state. Handlers take and return 32-bit words as
// compiled code passes them; joystick axes are single floats.
#pragma once
#include <cstdint>
#include <vector>

class sysInput;
class sysKeyboard;
class sysMouse;
class sysJoystick;

// The devices the module took from the input manager at its creation, and the positions
// the mouse speed commands last reported.
struct InputState {
  sysInput* manager = nullptr;
  sysKeyboard* keyboard = nullptr;
  sysMouse* mouse = nullptr;
  std::vector<sysJoystick*> joysticks;
  int32_t lastX = 0;
  int32_t lastY = 0;
  int32_t lastZ = 0;
};

extern InputState inputState;

namespace inputcmd {

int32_t keyDown(int32_t key);
int32_t keyHit(int32_t key);
int32_t getKey();
int32_t waitKey();
void flushKeys();

int32_t mouseDown(int32_t button);
int32_t mouseHit(int32_t button);
int32_t getMouse();
int32_t waitMouse();
int32_t mouseX();
int32_t mouseY();
int32_t mouseZ();
int32_t mouseXSpeed();
int32_t mouseYSpeed();
int32_t mouseZSpeed();
void flushMouse();
void moveMouse(int32_t x, int32_t y);

int32_t joyType(int32_t port = 0);
int32_t joyDown(int32_t button, int32_t port = 0);
int32_t joyHit(int32_t button, int32_t port = 0);
int32_t getJoy(int32_t port = 0);
int32_t waitJoy(int32_t port = 0);
float joyX(int32_t port = 0);
float joyY(int32_t port = 0);
float joyZ(int32_t port = 0);
int32_t joyXDir(int32_t port = 0);
int32_t joyYDir(int32_t port = 0);
int32_t joyZDir(int32_t port = 0);
void flushJoy();

}  // namespace inputcmd
