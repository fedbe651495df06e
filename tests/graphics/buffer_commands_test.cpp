// The drawing commands through the module: buffer validation in debug mode, pixel
// access with origin and viewport, colours, text centring, rectangle copies and fonts.
#include "tests/graphics/display_fixture.h"

#include "graphics/sys_font.h"

using namespace gfxcmd;

namespace {

using BufferCommands = DisplayTest;

TEST_F(BufferCommands, UnknownBuffersAreRefusedInDebugModeOnly) {
    const int32_t bogus = frontBuffer() + 4;
    debugMode = true;
    for (auto call : std::vector<std::function<void()>>{
             [=] { setBuffer(bogus); }, [=] { lockBuffer(bogus); }, [=] { unlockBuffer(bogus); },
             [=] { readPixel(0, 0, bogus); }, [=] { writePixel(0, 0, 0, bogus); },
             [=] { copyRect(0, 0, 1, 1, 0, 0, bogus, 0); }, [=] { copyRect(0, 0, 1, 1, 0, 0, 0, bogus); }}) {
        EXPECT_EQ(errorOf(call), "Buffer does not exist");
    }
    // Zero means the current buffer and is not checked.
    EXPECT_EQ(errorOf([] { writePixel(1, 1, 0xFF123456, 0); }), "");
    EXPECT_EQ(uint32_t(readPixel(1, 1, 0)), 0xFF123456u);
}

TEST_F(BufferCommands, PixelsFollowOriginAndViewport) {
    origin(10, 20);
    viewport(10, 20, 5, 5);
    writePixel(0, 0, int32_t(0xFFABCDEF), 0);
    writePixel(5, 0, int32_t(0xFFFFFFFF), 0);  // outside the viewport: nothing
    EXPECT_EQ(uint32_t(readPixel(0, 0, 0)), 0xFFABCDEFu);
    lockBuffer(0);
    EXPECT_EQ(uint32_t(readPixelFast(10, 20, 0)), 0xFFABCDEFu);
    EXPECT_EQ(uint32_t(readPixelFast(15, 20, 0)), 0xFF000000u);
    writePixelFast(0, 0, int32_t(0xFF010203), 0);
    copyPixelFast(0, 0, 0, 1, 0, backBuffer());
    EXPECT_EQ(uint32_t(readPixelFast(1, 0, 0)), 0xFF010203u);  // the back shares the front's pixels
    unlockBuffer(0);
    // Outside the viewport a read gives the mask colour, and GetColor takes it.
    EXPECT_EQ(uint32_t(readPixel(-10, -20, 0)) & 0xFFFFFF, 0u);
    color(9, 9, 9);
    getColor(100, 100);
    EXPECT_EQ(colorRed(), 0);
    getColor(0, 0);
    EXPECT_EQ(colorRed(), 0xAB);
}

TEST_F(BufferCommands, SetBufferResetsTheNewBuffersStateAndTheConsoleCursor) {
    locate(50, 60);
    origin(5, 5);
    viewport(0, 0, 10, 10);
    color(1, 2, 3);
    clsColor(4, 5, 6);
    setBuffer(backBuffer());
    setBuffer(frontBuffer());
    EXPECT_EQ(graphicsState.console.x, 0);
    EXPECT_EQ(graphicsState.console.y, 0);
    sysCanvas* front = display().frontCanvas();
    EXPECT_EQ(front->originX(), 0);
    EXPECT_EQ(front->viewport(), (SurfaceRect{0, 0, 400, 300}));
    EXPECT_EQ(front->colour(), 0xFF010203u);
    EXPECT_EQ(front->clsColour(), 0xFF040506u);
    cls();
    EXPECT_EQ(uint32_t(readPixel(0, 0)), 0xFF040506u);
}

TEST_F(BufferCommands, PrimitivesDrawInTheModuleColour) {
    color(255, 0, 0);
    rect(10, 10, 20, 10, 0);
    EXPECT_EQ(uint32_t(readPixel(10, 10, 0)), 0xFFFF0000u);
    EXPECT_EQ(uint32_t(readPixel(15, 15, 0)), 0xFF000000u);
    oval(50, 50, 21, 21, 1);
    EXPECT_EQ(uint32_t(readPixel(60, 60, 0)), 0xFFFF0000u);
    line(0, 100, 399, 100);
    EXPECT_EQ(uint32_t(readPixel(200, 100, 0)), 0xFFFF0000u);
    plot(300, 200);
    EXPECT_EQ(uint32_t(readPixel(300, 200, 0)), 0xFFFF0000u);
}

TEST_F(BufferCommands, CopyRectCopiesSolidlyBetweenBuffers) {
    graphics(64, 64, 32, 1);
    setBuffer(backBuffer());
    color(0, 0, 0);
    rect(0, 0, 8, 8, 1);  // black is the mask colour, yet copies are solid
    color(0, 255, 0);
    plot(1, 1);
    setBuffer(frontBuffer());
    color(255, 255, 255);
    rect(0, 0, 64, 64, 1);
    copyRect(0, 0, 8, 8, 20, 20, backBuffer(), 0);
    EXPECT_EQ(uint32_t(readPixel(20, 20)), 0xFF000000u);
    EXPECT_EQ(uint32_t(readPixel(21, 21)), 0xFF00FF00u);
    EXPECT_EQ(uint32_t(readPixel(28, 28)), 0xFFFFFFFFu);
}

TEST_F(BufferCommands, TextCentresByHalfTheWidthAndHeight) {
    const int32_t width = stringWidth(str("Hello"));
    const int32_t height = fontHeight();
    ASSERT_GT(width, 0);
    ASSERT_GT(height, 0);
    text(200, 150, str("Hello"), 1, 1);
    // Some pixel of the text lies left of and above the centre; none beyond the box.
    bool left = false;
    for (int32_t y = 150 - height / 2; y < 150 - height / 2 + height; ++y) {
        for (int32_t x = 200 - width / 2; x < 200; ++x) {
            left = left || readPixel(x, y) == int32_t(0xFFFFFFFF);
        }
    }
    EXPECT_TRUE(left);
    EXPECT_EQ(readPixel(200 - width / 2 - 1, 150), int32_t(0xFF000000));
    // An empty text draws nothing anywhere.
    const uint32_t counter = display().frontCanvas()->modificationCounter();
    text(200, 150, str(""), 1, 1);
    EXPECT_EQ(display().frontCanvas()->modificationCounter(), counter);
}

TEST_F(BufferCommands, FontsAreMeasuredInTheModuleFont) {
    const int32_t defaultHeight = fontHeight();
    EXPECT_EQ(defaultHeight, 12);
    EXPECT_EQ(stringWidth(str("")), 0);
    EXPECT_EQ(stringHeight(str("anything")), defaultHeight);
    EXPECT_EQ(stringWidth(str("&&")), 2 * fontWidth());  // monospaced, '&' a character
    const int32_t big = loadFont(str("sans"), 30, 1);
    ASSERT_NE(big, 0);
    setFont(big);
    EXPECT_EQ(fontHeight(), 30);
    EXPECT_GT(stringWidth(str("W")), stringWidth(str("i")));
}

TEST_F(BufferCommands, FreeingTheModuleFontFallsBackToTheDefault) {
    const int32_t font = loadFont(str("serif"), 20, 0, 1, 1);
    ASSERT_NE(font, 0);
    setFont(font);
    freeFont(font);
    EXPECT_EQ(fontHeight(), 12);
    debugMode = true;
    EXPECT_EQ(errorOf([=] { freeFont(font); }), "Font does not exist");
    EXPECT_EQ(errorOf([=] { setFont(font); }), "Font does not exist");
    debugMode = false;
    setFont(font);  // ignored: a freed font is never drawn with
    EXPECT_EQ(fontHeight(), 12);
}

TEST_F(BufferCommands, FreeingTheDefaultFontIsHarmless) {
    sysFont* standard = display().defaultFont();
    freeFont(int32_t(handleOf(standard)));
    EXPECT_EQ(display().defaultFont(), standard);
    text(0, 0, str("still drawn"), 0, 0);
    bool drawn = false;
    for (int32_t x = 0; x < 60 && !drawn; ++x) {
        for (int32_t y = 0; y < 12 && !drawn; ++y) {
            drawn = readPixel(x, y) == int32_t(0xFFFFFFFF);
        }
    }
    EXPECT_TRUE(drawn);
}

TEST_F(BufferCommands, FontsAreGoneAfterGraphics) {
    const int32_t font = loadFont(str("courier"), 20);
    setFont(font);
    graphics(320, 240, 0, 2);
    EXPECT_EQ(fontHeight(), 12);
    EXPECT_EQ(display().verifyFont(uint32_t(font)), nullptr);
}

TEST_F(BufferCommands, BlackTextIsDrawnInTheDarkestBlue) {
    clsColor(255, 255, 255);
    cls();
    color(0, 0, 0);
    text(0, 0, str("#"), 0, 0);
    bool blue = false;
    for (int32_t x = 0; x < 10; ++x) {
        for (int32_t y = 0; y < 12; ++y) {
            blue = blue || readPixel(x, y) == int32_t(0xFF000010);
        }
    }
    EXPECT_TRUE(blue);
}

}  // namespace
