// sysInput: the input manager of a run. It owns the keyboard, the mouse and the
// joysticks found when it was made, holds them acquired while a full-screen display has
// them, turns key codes into characters, and takes the window's input events.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "host/host_services.h"
#include "input/input_devices.h"
#include "platform/joystick.h"

class sysRuntime;

class sysInput final : public InputHost {
 public:
  // Makes the runtime's input manager and stores it in the runtime, which then owns it;
  // null when one exists already. Devices are acquired at once under a full-screen
  // display.
  static sysInput* create(sysRuntime& runtime);
  // Releases the devices if a full-screen display holds them, closes the joysticks, then
  // the mouse and the keyboard, and shows the pointer.
  ~sysInput() override;
  sysInput(const sysInput&) = delete;
  sysInput& operator=(const sysInput&) = delete;

  sysRuntime& runtime() { return runtime_; }
  sysKeyboard& keyboard() { return *keyboard_; }
  sysMouse& mouse() { return *mouse_; }
  int32_t joystickCount() const { return int32_t(joysticks_.size()); }
  sysJoystick* joystick(int32_t port);  // null for a port without one
  int32_t joystickType(int32_t port);   // 0 for a port without one
  const std::vector<std::unique_ptr<sysJoystick>>& joysticks() const { return joysticks_; }

  // The character a key gives on a US keyboard with the Shift, Ctrl and Alt keys as they
  // are held now; cursor and editing keys give fixed control codes. 0 for none.
  int32_t toAscii(int32_t code);
  // The mouse position becomes (x, y); outside the acquired mode the system pointer
  // moves there too.
  void moveMouse(int32_t x, int32_t y);
  // Full-screen: the pointer hidden, the mouse and the keyboard read directly.
  void acquireAll();
  void unacquireAll();
  bool acquiredMode() const { return acquiredMode_; }
  // Runs the window's event pump (a poll of a device that is not acquired).
  void pumpEvents();

  // The window's events while the display is windowed.
  void keyChanged(int code, bool pressed) override;
  void mouseMoved(int x, int y) override;
  void mouseButtonChanged(int button, bool pressed) override;
  void mouseWheel(int delta) override;
  void acquireDevices() override { acquireAll(); }
  void releaseDevices() override { unacquireAll(); }

 private:
  explicit sysInput(sysRuntime& runtime);

  sysRuntime& runtime_;
  std::unique_ptr<sysKeyboard> keyboard_;
  std::unique_ptr<sysMouse> mouse_;
  JoystickService joystickService_;
  std::vector<std::unique_ptr<sysJoystick>> joysticks_;
  bool acquiredMode_ = false;
};
