// The display commands on the headless driver: the default window, Graphics and its mode
// mapping, windowed buffers sharing pixels, full-screen flips at every depth, and what
// was presented.
#include "tests/graphics/display_fixture.h"

#include "platform/clock.h"

using namespace gfxcmd;

namespace {

using DisplayCommands = DisplayTest;

TEST_F(DisplayCommands, EveryRunStartsWithAVisible400x300Window) {
    EXPECT_EQ(hostState.displayKind, DisplayKind::Window);
    EXPECT_EQ(graphicsWidth(), 400);
    EXPECT_EQ(graphicsHeight(), 300);
    EXPECT_EQ(graphicsDepth(), 32);
    int w = 0;
    int h = 0;
    runtime->window().clientSize(w, h);
    EXPECT_EQ(w, 400);
    EXPECT_EQ(h, 300);
    EXPECT_EQ(graphicsBuffer(), frontBuffer());
    EXPECT_FALSE(graphicsState.modeChosen);
}

TEST_F(DisplayCommands, WindowedBuffersAreTwoHandlesOverOnePicture) {
    ASSERT_NE(frontBuffer(), backBuffer());
    setBuffer(backBuffer());
    color(10, 20, 30);
    plot(5, 6);
    EXPECT_EQ(uint32_t(readPixel(5, 6, frontBuffer())), 0xFF0A141Eu);
    setBuffer(frontBuffer());
    color(200, 0, 0);
    plot(7, 8);
    EXPECT_EQ(uint32_t(readPixel(7, 8, backBuffer())), 0xFFC80000u);
}

TEST_F(DisplayCommands, EndGraphicsWithoutGraphicsLeavesTheDefaultWindow) {
    const int32_t front = frontBuffer();
    color(1, 2, 3);
    endGraphics();
    EXPECT_EQ(frontBuffer(), front);
    EXPECT_EQ(colorBlue(), 3);
}

TEST_F(DisplayCommands, ModeArgumentMapsToDisplayKinds) {
    graphics(640, 480, 0, 0);
    EXPECT_EQ(hostState.displayKind, DisplayKind::FullScreen);
    EXPECT_TRUE(graphicsState.modeChosen);
    debugMode = true;
    graphics(640, 480, 0, 0);
    EXPECT_EQ(hostState.displayKind, DisplayKind::Window);
    graphics(320, 200, 0, 1);
    EXPECT_EQ(hostState.displayKind, DisplayKind::FullScreen);
    graphics(320, 200, 0, 3);
    EXPECT_EQ(hostState.displayKind, DisplayKind::ScaledWindow);
    debugMode = false;
    EXPECT_EQ(errorOf([] { graphics(320, 200, 0, 4); }), "Illegal Graphics mode");
    EXPECT_EQ(errorOf([] { graphics(320, 200, 0, -1); }), "Illegal Graphics mode");
    EXPECT_EQ(debugger.calls.back(), "error Illegal Graphics mode");
    // The display in place survives a refused mode.
    EXPECT_EQ(graphicsWidth(), 320);
}

TEST_F(DisplayCommands, WindowedDepthIsTheDesktopsWhateverIsAsked) {
    graphics(640, 480, 16, 2);
    EXPECT_EQ(graphicsDepth(), 32);
    int w = 0;
    int h = 0;
    runtime->window().clientSize(w, h);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);
}

TEST_F(DisplayCommands, ImpossibleDisplaysAreAnErrorInEveryMode) {
    EXPECT_EQ(errorOf([] { graphics(0, 480, 0, 2); }), "Unable to set graphics mode");
    EXPECT_EQ(errorOf([] { graphics(640, 480, 15, 1); }), "Unable to set graphics mode");
    EXPECT_EQ(graphicsState.display, nullptr);
}

TEST_F(DisplayCommands, GraphicsResetsColoursFontAndBuffer) {
    setBuffer(backBuffer());
    color(1, 2, 3);
    clsColor(4, 5, 6);
    origin(10, 10);
    graphics(200, 100, 0, 2);
    EXPECT_EQ(graphicsBuffer(), frontBuffer());
    EXPECT_EQ(uint32_t(graphicsState.colour), 0xFFFFFFFFu);
    EXPECT_EQ(graphicsState.clsColour, 0u);
    EXPECT_EQ(graphicsState.font, display().defaultFont());
    endGraphics();
    EXPECT_EQ(graphicsWidth(), 400);
    EXPECT_FALSE(graphicsState.modeChosen);
}

class FullScreenDepths : public DisplayTest, public ::testing::WithParamInterface<int> {};

TEST_P(FullScreenDepths, FlipExchangesTheBuffersAndShowsTheBack) {
    const int depth = GetParam();
    graphics(320, 240, depth, 1);
    ASSERT_EQ(hostState.displayKind, DisplayKind::FullScreen);
    EXPECT_EQ(graphicsDepth(), depth);
    // Colours whose channels every depth keeps exactly.
    setBuffer(frontBuffer());
    color(0, 0, 248);
    rect(0, 0, 320, 240, 1);
    setBuffer(backBuffer());
    color(248, 0, 0);
    rect(10, 20, 30, 40, 1);
    flip(0);
    // The front now shows the back's drawing; the back holds the old front.
    EXPECT_EQ(uint32_t(readPixel(10, 20, frontBuffer())), 0xFFF80000u);
    EXPECT_EQ(uint32_t(readPixel(0, 0, frontBuffer())), 0xFF000000u);
    EXPECT_EQ(uint32_t(readPixel(0, 0, backBuffer())), 0xFF0000F8u);
    EXPECT_EQ(presentedAt(10, 20), 0xFFF80000u);
    EXPECT_EQ(presentedAt(39, 59), 0xFFF80000u);
    EXPECT_EQ(presentedAt(40, 60), 0xFF000000u);
}

INSTANTIATE_TEST_SUITE_P(Depths, FullScreenDepths, ::testing::Values(16, 24, 32));

TEST_F(DisplayCommands, DefaultFullScreenDepthIsTheFirstThatCanBeSet) {
    graphics(640, 480, 0, 1);
    EXPECT_EQ(graphicsDepth(), 16);
}

TEST_F(DisplayCommands, ColoursAreComposedUnclampedAndReadAsStored) {
    color(0, 0, 256);
    EXPECT_EQ(colorGreen(), 1);
    EXPECT_EQ(colorBlue(), 0);
    graphics(320, 240, 16, 1);
    color(255, 255, 255);
    EXPECT_EQ(colorRed(), 248);
    EXPECT_EQ(colorGreen(), 252);
    EXPECT_EQ(colorBlue(), 248);
}

TEST_F(DisplayCommands, WindowedFlipPresentsOnlyWhatChanged) {
    setBuffer(backBuffer());
    color(0, 255, 0);
    plot(3, 4);
    flip(0);
    EXPECT_EQ(presentedAt(3, 4), 0xFF00FF00u);
    const PresentedPicture before = lastPresentedPicture();
    EXPECT_EQ(before.width, 400);
    flip(1);  // nothing new: only waits for the blank
    EXPECT_EQ(lastPresentedPicture().pixels, before.pixels);
}

TEST_F(DisplayCommands, FrontBufferDrawingReachesTheWindowThroughTheTick) {
    color(255, 255, 0);
    plot(1, 1);
    bool shown = false;
    for (int i = 0; i < 100 && !shown; ++i) {
        runtime->delay(20);
        shown = presentedAt(1, 1) == 0xFFFFFF00u;
    }
    EXPECT_TRUE(shown);
}

TEST_F(DisplayCommands, ScaledWindowKeepsItsClientSizeAndStretches) {
    graphics(200, 150, 0, 3);
    int w = 0;
    int h = 0;
    runtime->window().clientSize(w, h);
    EXPECT_EQ(w, 400);
    EXPECT_EQ(h, 300);
    EXPECT_EQ(graphicsWidth(), 200);
    color(255, 0, 255);
    rect(100, 75, 100, 75, 1);
    flip(0);
    EXPECT_EQ(presentedAt(150, 100), 0xFFFF00FFu);
    EXPECT_EQ(presentedAt(50, 50), 0xFF000000u);
}

TEST_F(DisplayCommands, AFlipThatFailsIsLoggedAndTheProgramGoesOn) {
    graphics(320, 240, 32, 1);
    lockBuffer(backBuffer());
    flip(0);
    unlockBuffer(backBuffer());
    EXPECT_EQ(debugger.calls.back(), "log Flip Failed! Return code:430");
    flip(0);
    EXPECT_EQ(debugger.calls.back(), "log Flip Failed! Return code:430");
}

TEST_F(DisplayCommands, ClosingTheWindowEndsAProgramWaitingInFlip) {
    HostEvent close{HostEventKind::Close};
    injectHostEvent(close);
    EXPECT_EQ(errorOf([] { flip(1); }), "(silent end)");
    EXPECT_EQ(debugger.calls, std::vector<std::string>{});
}

TEST_F(DisplayCommands, VWaitWaitsForOneBlankWhateverTheCount) {
    // Five blanks would take 83 ms at 60 Hz; the quickest of three waits shows one.
    uint32_t quickest = UINT32_MAX;
    for (int i = 0; i < 3; ++i) {
        const uint32_t start = monotonicMillis();
        vWait(5);
        quickest = std::min(quickest, monotonicMillis() - start);
    }
    EXPECT_LT(quickest, 60u);
    const int32_t line = scanLine();
    EXPECT_GE(line, 0);
}

TEST_F(DisplayCommands, DriversAndModes) {
    ASSERT_GE(countGfxDrivers(), 1);
    EXPECT_FALSE(take(gfxDriverName(1)).empty());
    debugMode = true;
    EXPECT_EQ(errorOf([] { gfxModeWidth(1); }), "Illegal graphics mode index");
    EXPECT_EQ(errorOf([] { take(gfxDriverName(0)); }), "Illegal graphics driver index");
    EXPECT_EQ(errorOf([] { setGfxDriver(countGfxDrivers() + 1); }), "Illegal graphics driver index");
    const int32_t modes = countGfxModes();
    ASSERT_GT(modes, 0);
    for (int32_t m = 1; m <= modes; ++m) {
        const int32_t depth = gfxModeDepth(m);
        EXPECT_TRUE(depth == 16 || depth == 24 || depth == 32) << depth;
        EXPECT_EQ(gfxModeExists(gfxModeWidth(m), gfxModeHeight(m), depth), 1);
    }
    EXPECT_EQ(gfxModeExists(640, 480, 0), 0);
    EXPECT_EQ(gfxModeExists(640, 480, 32), 1);
    setGfxDriver(1);
    EXPECT_EQ(errorOf([] { gfxModeWidth(1); }), "Illegal graphics mode index");
    debugMode = false;
    EXPECT_EQ(gfxModeWidth(1), 0);  // unchecked, yet never read outside the cache
}

TEST_F(DisplayCommands, VideoMemoryShrinksWithDisplaySurfaces) {
    const int32_t total = totalVidMem();
    const int32_t free400 = availVidMem();
    EXPECT_GT(total, 0);
    EXPECT_LE(free400, total);
    graphics(640, 480, 32, 1);
    EXPECT_LT(availVidMem(), free400 - 640 * 480 * 4);
}

TEST_F(DisplayCommands, PausingAFullScreenDisplayKeepsItsPicture) {
    graphics(320, 240, 24, 1);
    color(12, 34, 56);
    rect(0, 0, 320, 240, 1);
    runtime->pauseProgram();
    EXPECT_TRUE(display().frontCanvas()->hasBackup());
    runtime->resumeProgram();
    EXPECT_FALSE(display().frontCanvas()->hasBackup());
    EXPECT_EQ(uint32_t(readPixel(100, 100)), 0xFF0C2238u);
}

}  // namespace
