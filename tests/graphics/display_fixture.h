// A fixture that runs the graphics module as a program would: a sysRuntime with a
// recording debugger, the module created (so the default window is open), and every
// presented picture kept for reading back.
#pragma once

#include <functional>
#include <string>

#include "basic/ks_error.h"
#include "basic/ks_str.h"
#include "graphics/graphics_commands.h"
#include "graphics/graphics_state.h"
#include "graphics/sys_graphics.h"
#include "platform/display.h"
#include "runtime/modules.h"
#include "tests/host/recording_debugger.h"

class DisplayTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        currentRuntime = runtime;
        debugMode = false;
        capturePresentedPictures(true);
        ASSERT_TRUE(graphics_create());
    }
    void TearDown() override {
        graphics_destroy();
        capturePresentedPictures(false);
        debugMode = false;
        currentRuntime = nullptr;
        HostTest::TearDown();
    }

    static ksStr* str(const std::string& text) { return ksStrNew(text); }
    static std::string take(ksStr* s) { return ksStrTake(s); }

    sysGraphics& display() { return *graphicsState.display; }

    // The ARGB of a pixel of the picture last presented.
    static uint32_t presentedAt(int x, int y) {
        const PresentedPicture picture = lastPresentedPicture();
        if (x < 0 || y < 0 || x >= picture.width || y >= picture.height) {
            return 0xDEADBEEF;
        }
        return picture.pixels[size_t(y) * size_t(picture.width) + size_t(x)];
    }
};
