// The devices' polls: a device that is not acquired pumps the window's events (which
// may press and release its keys); an acquired one reads its platform reader.
#include "input/input_devices.h"

#include "host/sys_runtime.h"
#include "input/sys_input.h"
#include "platform/clock.h"

namespace {

// Raw joystick axes (0..65535) to -1.0 .. +1.0, in single precision; no dead zone.
constexpr float kAxisScale = 3.0518044e-5f;

int32_t clampTo(int32_t value, int32_t high) {
  return value < 0 ? 0 : (value > high ? high : value);
}

}  // namespace

void sysInputDevice::acquire() {
  if (!acquired_) {
    resetState();
    acquired_ = acquireDevice();
  }
}

void sysInputDevice::unacquire() {
  releaseDevice();
  if (acquired_) {
    resetState();
  }
  acquired_ = false;
}

sysKeyboard::sysKeyboard(sysInput& input) : sysInputDevice(input), reader_(input.runtime().window()) {}

void sysKeyboard::poll() {
  if (!acquired_) {
    input_.pumpEvents();
    return;
  }
  KeyChange changes[AcquiredKeyboard::kBufferSize];
  const int count = reader_.read(changes, AcquiredKeyboard::kBufferSize);
  for (int i = 0; i < count; ++i) {
    const int code = changes[i].code;
    if (code < 1 || code > 255) {
      continue;
    }
    if (changes[i].down) {
      press(code);
    } else {
      release(code);
    }
  }
}

void sysMouse::poll() {
  if (!acquired_) {
    input_.pumpEvents();
    return;
  }
  MouseReading reading;
  reader_.read(reading);
  // The position stays on the display; without one the axes keep their values.
  if (GraphicsHost* display = input_.runtime().graphics) {
    const int32_t x = int32_t(float(reading.dx) + axisValue(0));
    const int32_t y = int32_t(float(reading.dy) + axisValue(1));
    setAxis(0, float(clampTo(x, display->width() - 1)));
    setAxis(1, float(clampTo(y, display->height() - 1)));
    setAxis(2, axisValue(2) + float(reading.wheel));
  }
  for (int button = 1; button <= 3; ++button) {
    setState(button, reading.buttons[button - 1]);
  }
}

sysJoystick::sysJoystick(sysInput& input, std::unique_ptr<PlatformJoystick> device)
    : sysInputDevice(input), device_(std::move(device)), type_(device_->gamePad() ? GamePad : Joystick) {}

void sysJoystick::poll() {
  const uint32_t now = monotonicMillis();
  if (polledOnce_ && now - lastPoll_ < kPollInterval) {
    return;
  }
  if (!device_->poll() || !acquired_) {
    acquired_ = false;
    input_.pumpEvents();
    acquire();
    if (!acquired_) {
      return;
    }
  }
  lastPoll_ = now;
  polledOnce_ = true;
  JoystickReading reading;
  device_->read(reading);
  for (int axis = 0; axis < JoystickReading::kAxes; ++axis) {
    setAxis(axis, float(reading.axes[axis]) * kAxisScale - 1.0f);
  }
  for (int button = 1; button <= JoystickReading::kButtons; ++button) {
    setState(button, reading.buttons[button - 1]);
  }
}
