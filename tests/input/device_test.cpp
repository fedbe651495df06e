// The device's press ring on its own, across wrap-arounds and while full (the commands'
// tests cover held keys, counts, flushes and codes outside the tables).
#include <gtest/gtest.h>

#include "input/sys_device.h"

namespace {

TEST(Device, TheRingKeepsThirtyTwoPressesInOrderAcrossWrapArounds) {
  sysDevice device;
  int expected = 1;
  int next = 1;
  for (int round = 0; round < 10; ++round) {
    for (int i = 0; i < 20; ++i) {
      device.press(next);
      device.release(next);
      next = next % 255 + 1;
    }
    for (int i = 0; i < 20; ++i) {
      EXPECT_EQ(device.nextQueued(), expected);
      expected = expected % 255 + 1;
    }
  }
  EXPECT_EQ(device.nextQueued(), 0);
}

TEST(Device, AFullRingDropsFromTheQueueOnlyUntilReadingMakesRoom) {
  sysDevice device;
  for (int code = 1; code <= 40; ++code) {
    device.press(code);
  }
  EXPECT_EQ(device.nextQueued(), 1);
  device.press(99);  // one free slot
  device.press(100);
  for (int code = 2; code <= 32; ++code) {
    EXPECT_EQ(device.nextQueued(), code);
  }
  EXPECT_EQ(device.nextQueued(), 99);
  EXPECT_EQ(device.nextQueued(), 0);
  EXPECT_EQ(device.hitCount(40), 1);
  EXPECT_EQ(device.hitCount(100), 1);
}

}  // namespace
