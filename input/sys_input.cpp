// The input manager: creation with its devices, the acquired mode, the translation of
// key codes to characters, and the window's input events.
#include "input/sys_input.h"

#include "host/sys_runtime.h"
#include "input/us_layout.h"

namespace {

// Cursor and editing keys give these codes whatever the layout (Home, Up, PgUp, Left,
// Right, End, Down, PgDn, Insert, Delete).
int32_t fixedCharacter(int32_t code) {
  switch (code) {
    case 199: return 1;
    case 200: return 28;
    case 201: return 5;
    case 203: return 31;
    case 205: return 30;
    case 207: return 2;
    case 208: return 29;
    case 209: return 6;
    case 210: return 3;
    case 211: return 4;
    default: return 0;
  }
}

// The modifier keys' codes.
constexpr int kLeftCtrl = 29, kLeftShift = 42, kRightShift = 54, kLeftAlt = 56, kRightCtrl = 157, kRightAlt = 184;

}  // namespace

sysInput* sysInput::create(sysRuntime& runtime) {
  if (runtime.input) {
    return nullptr;
  }
  sysInput* input = new sysInput(runtime);
  runtime.input = input;
  if (hostState.displayKind == DisplayKind::FullScreen) {
    input->acquireAll();
  }
  return input;
}

sysInput::sysInput(sysRuntime& runtime)
    : runtime_(runtime),
      keyboard_(std::make_unique<sysKeyboard>(*this)),
      mouse_(std::make_unique<sysMouse>(*this)) {
  for (std::unique_ptr<PlatformJoystick>& device : joystickService_.openAll()) {
    joysticks_.push_back(std::make_unique<sysJoystick>(*this, std::move(device)));
  }
}

sysInput::~sysInput() {
  if (hostState.displayKind == DisplayKind::FullScreen) {
    unacquireAll();
  }
  joysticks_.clear();
  mouse_.reset();
  keyboard_.reset();
  runtime_.window().setCursorVisible(true);
  if (runtime_.input == this) {
    runtime_.input = nullptr;
  }
}

sysJoystick* sysInput::joystick(int32_t port) {
  return port >= 0 && port < joystickCount() ? joysticks_[size_t(port)].get() : nullptr;
}

int32_t sysInput::joystickType(int32_t port) {
  const sysJoystick* stick = joystick(port);
  return stick ? stick->type() : 0;
}

int32_t sysInput::toAscii(int32_t code) {
  if (const int32_t fixed = fixedCharacter(code)) {
    return fixed;
  }
  if (code <= 0 || code > 255) {
    return 0;
  }
  // One poll for the three modifiers, so they are read as of the same moment.
  keyboard_->poll();
  KeyModifiers modifiers;
  modifiers.shift = keyboard_->held(kLeftShift) || keyboard_->held(kRightShift);
  modifiers.ctrl = keyboard_->held(kLeftCtrl) || keyboard_->held(kRightCtrl);
  modifiers.alt = keyboard_->held(kLeftAlt) || keyboard_->held(kRightAlt);
  return usLayoutCharacter(code, modifiers);
}

void sysInput::moveMouse(int32_t x, int32_t y) {
  mouse_->setAxis(0, float(x));
  mouse_->setAxis(1, float(y));
  if (!acquiredMode_) {
    runtime_.movePointer(x, y);
  }
}

void sysInput::acquireAll() {
  if (acquiredMode_ && mouse_->acquired() && keyboard_->acquired()) {
    return;  // every event of a full-screen window asks again
  }
  runtime_.window().setCursorVisible(false);
  mouse_->acquire();
  keyboard_->acquire();
  acquiredMode_ = true;
}

void sysInput::unacquireAll() {
  acquiredMode_ = false;
  keyboard_->unacquire();
  mouse_->unacquire();
  runtime_.window().setCursorVisible(true);
}

void sysInput::pumpEvents() {
  runtime_.pollEvents();
}

void sysInput::keyChanged(int code, bool pressed) {
  if (pressed) {
    keyboard_->press(code);
  } else {
    keyboard_->release(code);
  }
}

void sysInput::mouseMoved(int x, int y) {
  mouse_->setAxis(0, float(x));
  mouse_->setAxis(1, float(y));
}

void sysInput::mouseButtonChanged(int button, bool pressed) {
  if (pressed) {
    mouse_->press(button);
  } else {
    mouse_->release(button);
  }
}

void sysInput::mouseWheel(int delta) {
  mouse_->setAxis(2, mouse_->axisValue(2) + float(delta));
}
