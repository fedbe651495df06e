// The device state operations: codes outside the tables change nothing and read as 0.
#include "input/sys_device.h"

#include <cstring>

void sysDevice::press(int code) {
  if (!validCode(code)) {
    return;
  }
  down_[code] = 1;
  ++hits_[code];
  // A full ring drops the press from the queue only; it still counts.
  if (putCount_ - getCount_ < uint32_t(kQueueSize)) {
    queue_[putCount_ % kQueueSize] = code;
    ++putCount_;
  }
}

void sysDevice::release(int code) {
  if (validCode(code)) {
    down_[code] = 0;
  }
}

void sysDevice::setState(int code, bool isDown) {
  if (!validCode(code) || isDown == (down_[code] != 0)) {
    return;
  }
  if (isDown) {
    press(code);
  } else {
    down_[code] = 0;
  }
}

void sysDevice::setAxis(int index, float value) {
  if (index >= 0 && index < kAxes) {
    axes_[index] = value;
  }
}

float sysDevice::axisValue(int index) const {
  return index >= 0 && index < kAxes ? axes_[index] : 0.0f;
}

bool sysDevice::held(int code) const {
  return validCode(code) && down_[code] != 0;
}

void sysDevice::resetState() {
  std::memset(down_, 0, sizeof down_);
  std::memset(hits_, 0, sizeof hits_);
  for (float& axis : axes_) {
    axis = 0.0f;
  }
  putCount_ = 0;
  getCount_ = 0;
}

int sysDevice::isDown(int code) {
  poll();
  return held(code) ? 1 : 0;
}

int sysDevice::hitCount(int code) {
  poll();
  if (!validCode(code)) {
    return 0;
  }
  const int32_t hits = hits_[code];
  hits_[code] = 0;
  return hits;
}

int sysDevice::nextQueued() {
  poll();
  if (getCount_ == putCount_) {
    return 0;
  }
  return queue_[getCount_++ % kQueueSize];
}

void sysDevice::flush() {
  poll();
  std::memset(hits_, 0, sizeof hits_);
  putCount_ = 0;
  getCount_ = 0;
}

float sysDevice::axis(int index) {
  poll();
  return axisValue(index);
}
