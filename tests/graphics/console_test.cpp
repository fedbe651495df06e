// The text console: Print and Write on the front buffer whatever buffer is current,
// scrolling with the Cls colour, the first output opening the default window, and Locate.
#include "tests/graphics/display_fixture.h"

using namespace gfxcmd;

namespace {

using Console = DisplayTest;

bool rowHasInk(int32_t buffer, int32_t y, uint32_t background) {
    for (int32_t x = 0; x < 100; ++x) {
        if (uint32_t(readPixel(x, y, buffer)) != background) {
            return true;
        }
    }
    return false;
}

TEST_F(Console, FirstOutputOpensTheDefaultWindowAsAChosenMode) {
    printLine(str("hello"));
    EXPECT_TRUE(graphicsState.modeChosen);
    EXPECT_EQ(hostState.displayKind, DisplayKind::Window);
    EXPECT_EQ(graphicsWidth(), 400);
    EXPECT_EQ(graphicsState.console.y, 12);
    EXPECT_TRUE(rowHasInk(frontBuffer(), 12 / 2, 0xFF000000));
}

TEST_F(Console, WriteAdvancesAlongTheLineAndPrintEndsIt) {
    graphics(400, 300, 0, 2);
    writeText(str("ab"));
    EXPECT_EQ(graphicsState.console.x, stringWidth(str("ab")));
    printLine(str("c"));
    EXPECT_EQ(graphicsState.console.x, 0);
    EXPECT_EQ(graphicsState.console.y, 12);
}

TEST_F(Console, PrintOnTheLastLineWritesItAndTheNextScrolls) {
    graphics(200, 36, 32, 1);  // room for three lines
    clsColor(0, 0, 255);
    printLine(str("one"));
    printLine(str("two"));
    printLine(str("three"));
    EXPECT_EQ(graphicsState.console.y, 36);
    EXPECT_TRUE(rowHasInk(frontBuffer(), 24 + 6, 0xFF000000));
    printLine(str("four"));
    // Scrolled up one line; the freed strip was cleared in the Cls colour, then written.
    EXPECT_EQ(graphicsState.console.y, 36);
    EXPECT_EQ(uint32_t(readPixel(199, 30, frontBuffer())), 0xFF0000FFu);
    EXPECT_EQ(uint32_t(readPixel(199, 6, frontBuffer())), 0xFF000000u);
}

TEST_F(Console, PrintingWhileTheBackBufferIsCurrentLeavesItAlone) {
    graphics(320, 240, 32, 1);
    setBuffer(backBuffer());
    origin(3, 4);
    viewport(1, 1, 50, 50);
    color(10, 20, 30);
    display().frontCanvas()->setOrigin(7, 8);
    printLine(str("front"));
    sysCanvas* back = display().backCanvas();
    EXPECT_EQ(back->originX(), 3);
    EXPECT_EQ(back->viewport(), (SurfaceRect{1, 1, 51, 51}));
    EXPECT_EQ(back->colour(), 0xFF0A141Eu);
    EXPECT_FALSE(rowHasInk(backBuffer(), 6, 0xFF000000));
    EXPECT_EQ(display().frontCanvas()->originX(), 7);  // put back
    display().frontCanvas()->setOrigin(0, 0);
    EXPECT_TRUE(rowHasInk(frontBuffer(), 6, 0xFF000000));
}

TEST_F(Console, LocateClampsToTheFrontBuffer) {
    locate(-5, 100000);
    EXPECT_EQ(graphicsState.console.x, 0);
    EXPECT_EQ(graphicsState.console.y, 300);
    locate(10, 20);
    EXPECT_EQ(graphicsState.console.x, 10);
    EXPECT_EQ(graphicsState.console.y, 20);
}

TEST_F(Console, ConsoleOutputEndsTheProgramWhenTheWindowCloses) {
    graphics(400, 300, 0, 2);
    HostEvent close{HostEventKind::Close};
    injectHostEvent(close);
    EXPECT_EQ(errorOf([] { printLine(str("bye")); }), "(silent end)");
}

}  // namespace
