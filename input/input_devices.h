// The physical devices: sysInputDevice (a device that is acquired in full-screen mode)
// and the keyboard, mouse and joystick over their platform readers. While not acquired
// the keyboard and mouse are fed by the window's events, which a poll pumps.
#pragma once
#include <cstdint>
#include <memory>

#include "input/sys_device.h"
#include "platform/acquired_input.h"
#include "platform/joystick.h"

class sysInput;

class sysInputDevice : public sysDevice {
 public:
  bool acquired() const { return acquired_; }
  // Acquiring and releasing both start the state afresh, so keys held across a switch
  // read as up and the mouse axes restart at 0.
  void acquire();
  void unacquire();

 protected:
  explicit sysInputDevice(sysInput& input) : input_(input) {}
  virtual bool acquireDevice() = 0;
  virtual void releaseDevice() = 0;

  sysInput& input_;
  bool acquired_ = false;
};

class sysKeyboard final : public sysInputDevice {
 public:
  explicit sysKeyboard(sysInput& input);
  void poll() override;

 private:
  bool acquireDevice() override { return reader_.acquire(); }
  void releaseDevice() override { reader_.unacquire(); }
  AcquiredKeyboard reader_;
};

class sysMouse final : public sysInputDevice {
 public:
  explicit sysMouse(sysInput& input) : sysInputDevice(input) {}
  void poll() override;

 private:
  bool acquireDevice() override { return reader_.acquire(); }
  void releaseDevice() override { reader_.unacquire(); }
  AcquiredMouse reader_;
};

class sysJoystick final : public sysInputDevice {
 public:
  enum Type : int32_t { GamePad = 1, Joystick = 2 };

  sysJoystick(sysInput& input, std::unique_ptr<PlatformJoystick> device);
  int32_t type() const { return type_; }
  // At most one read every 3 ms, so tight loops of joystick queries do not flood the
  // driver; a device that fails to poll is acquired again.
  void poll() override;

 private:
  static constexpr uint32_t kPollInterval = 3;
  bool acquireDevice() override { return device_->attached(); }
  void releaseDevice() override {}
  std::unique_ptr<PlatformJoystick> device_;
  int32_t type_;
  uint32_t lastPoll_ = 0;  // time of the last successful poll
  bool polledOnce_ = false;
};
