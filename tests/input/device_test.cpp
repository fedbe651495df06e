// The device state on its own: the press ring across wrap-arounds, flushes and resets,
// and codes outside the tables.
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

TEST(Device, SetStatePressesOnlyOnAChange) {
    sysDevice device;
    device.setState(5, true);
    device.setState(5, true);
    EXPECT_EQ(device.hitCount(5), 1);
    device.setState(5, false);
    EXPECT_EQ(device.isDown(5), 0);
    device.setState(5, true);
    EXPECT_EQ(device.hitCount(5), 1);
}

TEST(Device, ResetClearsEverythingAndFlushKeepsHeldKeys) {
    sysDevice device;
    device.press(7);
    device.setAxis(2, 360.0f);
    device.flush();
    EXPECT_EQ(device.isDown(7), 1);
    EXPECT_EQ(device.nextQueued(), 0);
    EXPECT_EQ(device.axis(2), 360.0f);
    device.resetState();
    EXPECT_EQ(device.isDown(7), 0);
    EXPECT_EQ(device.axis(2), 0.0f);
}

TEST(Device, CodesAndAxesOutsideTheTablesAreIgnored) {
    sysDevice device;
    for (int code : {-1, 256, 70000}) {
        device.press(code);
        device.setState(code, true);
        device.release(code);
        EXPECT_EQ(device.isDown(code), 0);
        EXPECT_EQ(device.hitCount(code), 0);
    }
    EXPECT_EQ(device.nextQueued(), 0);
    device.setAxis(32, 1.0f);
    device.setAxis(-1, 1.0f);
    EXPECT_EQ(device.axis(32), 0.0f);
    EXPECT_EQ(device.axis(-1), 0.0f);
}

}  // namespace
