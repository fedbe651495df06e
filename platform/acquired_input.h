// The acquired mode of a full-screen display: the keyboard grabbed and the mouse in
// relative mode, both read from the window system's events as they arrive, whatever the
// window's own event pump later does with them, much as a game-input device keeps a
// buffer of its own. No SDL type shows here; everything runs on the program thread.
#pragma once

class PlatformWindow;

struct KeyChange {
  int code = 0;  // set-1 scan code with bit 7 for extended keys
  bool down = false;
};

// The mouse as read in acquired mode: movement and wheel since the last reading (wheel in
// 120 units per notch), and the buttons held now (left, right, middle).
struct MouseReading {
  int dx = 0;
  int dy = 0;
  int wheel = 0;
  bool buttons[3] = {};
};

class AcquiredKeyboard {
 public:
  static constexpr int kBufferSize = 32;  // key changes kept between two reads

  explicit AcquiredKeyboard(PlatformWindow& window) : window_(window) {}
  ~AcquiredKeyboard();
  AcquiredKeyboard(const AcquiredKeyboard&) = delete;
  AcquiredKeyboard& operator=(const AcquiredKeyboard&) = delete;

  // Grabs the keyboard (where the window system allows it) and starts keeping key
  // changes, auto-repeats left out. Changes past the buffer's size are lost.
  bool acquire();
  // Lets the keyboard go; key events still queued for the window are dropped, since
  // the device has had them.
  void unacquire();
  // Takes up to `max` kept changes, oldest first, after fetching what the window system
  // has delivered; returns how many.
  int read(KeyChange* changes, int max);

 private:
  friend struct AcquiredInputWatch;
  PlatformWindow& window_;
  bool acquired_ = false;
  KeyChange buffer_[kBufferSize];
  int first_ = 0;
  int count_ = 0;
};

class AcquiredMouse {
 public:
  AcquiredMouse() = default;
  ~AcquiredMouse();
  AcquiredMouse(const AcquiredMouse&) = delete;
  AcquiredMouse& operator=(const AcquiredMouse&) = delete;

  // Relative mode (the pointer held in the window) where the window system allows it;
  // motion, wheel and buttons are kept either way.
  bool acquire();
  // Lets the mouse go; mouse events still queued for the window are dropped.
  void unacquire();
  // The state now, after fetching what the window system has delivered; the movement
  // and wheel start again from 0.
  void read(MouseReading& reading);

 private:
  friend struct AcquiredInputWatch;
  bool acquired_ = false;
  MouseReading state_;
};
