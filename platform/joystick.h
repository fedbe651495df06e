// Joysticks and game pads through SDL's joystick service: listed once, when the input
// manager opens them, and read on demand. No SDL type shows here.
#pragma once
#include <memory>
#include <vector>

// One reading of a joystick. Axes are raw values from 0 (left, up) to 65535 (right,
// down); an axis the device does not have reads as centred.
struct JoystickReading {
  static constexpr int kAxes = 3;      // x, y, z
  static constexpr int kButtons = 31;  // buttons 1 to 31
  int axes[kAxes] = {};
  bool buttons[kButtons] = {};
};

class PlatformJoystick;

// Keeps SDL's joystick service running for as long as it lives (the service counts its
// users). Joystick events stay off: every read polls.
class JoystickService {
 public:
  JoystickService();
  ~JoystickService();
  JoystickService(const JoystickService&) = delete;
  JoystickService& operator=(const JoystickService&) = delete;

  bool started() const { return started_; }
  // Opens every attached joystick, port 0 first; none when the service did not start. A
  // device that cannot be opened is skipped. The joysticks must close before the service.
  std::vector<std::unique_ptr<PlatformJoystick>> openAll();

 private:
  bool started_;
};

class PlatformJoystick {
 public:
  ~PlatformJoystick();
  PlatformJoystick(const PlatformJoystick&) = delete;
  PlatformJoystick& operator=(const PlatformJoystick&) = delete;

  // Whether SDL recognises the device as a game controller (a game pad).
  bool gamePad() const { return gamePad_; }
  // Whether the device is still there to be read.
  bool attached() const;
  // Asks the driver for fresh state; false when the device is gone.
  bool poll();
  void read(JoystickReading& reading) const;

 private:
  friend class JoystickService;
  PlatformJoystick(void* joystick, bool gamePad) : joystick_(joystick), gamePad_(gamePad) {}
  void* joystick_;
  bool gamePad_;
};
