// sysDevice: the state every input device keeps (keys or buttons held, presses counted
// per code, a short queue of presses, analogue axes) and the operations on it. Codes
// outside the tables are ignored or read as 0.
#pragma once
#include <cstdint>

class sysDevice {
 public:
  static constexpr int kCodes = 256;
  static constexpr int kAxes = 32;
  static constexpr int kQueueSize = 32;

  virtual ~sysDevice() = default;
  // Brings the state up to date; each query below polls first.
  virtual void poll() {}

  // Feeding the state.
  void press(int code);
  void release(int code);
  void setState(int code, bool isDown);
  void setAxis(int index, float value);
  float axisValue(int index) const;  // without polling
  bool held(int code) const;         // without polling
  void resetState();

  // Queries: each polls first.
  int isDown(int code);
  int hitCount(int code);  // presses since the last count or flush; the count restarts
  int nextQueued();        // the oldest queued press, or 0
  void flush();            // counts and queue emptied; held keys stay held
  float axis(int index);

 private:
  static bool validCode(int code) { return code >= 0 && code < kCodes; }

  float axes_[kAxes] = {};
  int32_t hits_[kCodes] = {};
  uint8_t down_[kCodes] = {};
  int32_t queue_[kQueueSize] = {};
  uint32_t putCount_ = 0;
  uint32_t getCount_ = 0;
};
