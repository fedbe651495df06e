// Image files and canvases: loading into each display format through program paths, the
// 24-bit bitmap writer byte for byte, failed saves, and the LoadBuffer and SaveBuffer
// commands on a real headless display.
#include "graphics/image_file.h"

#include <sys/stat.h>

#include "tests/graphics/display_fixture.h"
#include "tests/platform/image_samples.h"

using namespace gfxcmd;
using namespace samples;

namespace {

class ImageFile : public ::testing::Test {
protected:
    TempFolder folder;
};

std::unique_ptr<sysCanvas> canvasOf(int32_t width, int32_t height, const SurfaceFormat& format) {
    return sysCanvas::create(width, height, CanvasSystemMemory, format, nullptr, nullptr);
}

TEST_F(ImageFile, LoadedPictureIsUprightInEachDisplayFormatWithTheCallersFlags) {
    save(FIF_PNG, sampleWithAlpha(), folder / "sample.png");
    for (const SurfaceFormat& format : {SurfaceFormat::xrgb8888(), SurfaceFormat::rgb888(), SurfaceFormat::rgb565()}) {
        for (const uint32_t flags : {uint32_t(CanvasPlaced), uint32_t(CanvasSystemMemory)}) {
            SCOPED_TRACE(format.depth);
            const auto canvas = loadCanvasFile(folder / "sample.png", flags, format, nullptr, nullptr);
            ASSERT_NE(canvas, nullptr);
            EXPECT_EQ(canvas->flags(), flags);
            EXPECT_EQ(canvas->surface().format(), format);
            EXPECT_EQ(canvas->surface().memory() == SurfaceMemory::System, flags == CanvasSystemMemory);
            ASSERT_EQ(canvas->width(), kWidth);
            ASSERT_EQ(canvas->height(), kHeight);
            const PixelFormat expected = PixelFormat::fromSurface(format);
            canvas->lock();
            for (int y = 0; y < kHeight; ++y) {
                for (int x = 0; x < kWidth; ++x) {
                    EXPECT_EQ(canvas->getPixelRaw(x, y), expected.toArgb(expected.toNative(colourAt(x, y))))
                        << x << "," << y;
                }
            }
            canvas->unlock();
        }
    }
}

TEST_F(ImageFile, UpperCaseFileLoadsThroughALowerCaseBackslashPath) {
    std::filesystem::create_directory(folder / "SPRITES");
    save(FIF_BMP, bitmap24(kWidth, kHeight, colourAt), folder / "SPRITES/HERO.BMP");
    const auto canvas = loadCanvasFile(folder.path() + "\\sprites\\hero.bmp", 0, SurfaceFormat::xrgb8888(),
                                       nullptr, nullptr);
    ASSERT_NE(canvas, nullptr);
    canvas->lock();
    EXPECT_EQ(canvas->getPixelRaw(4, 2), colourAt(4, 2));
    canvas->unlock();
}

TEST_F(ImageFile, FailedLoadsLeaveNoSurfaceBehind) {
    writeBytes(folder / "empty.png", {});
    writeBytes(folder / "cut.png", Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13});
    const int64_t freeBefore = Surface::videoMemoryFree();
    for (const char* name : {"empty.png", "cut.png", "missing.png"}) {
        EXPECT_EQ(loadCanvasFile(folder / name, 0, SurfaceFormat::xrgb8888(), nullptr, nullptr), nullptr) << name;
    }
    EXPECT_EQ(Surface::videoMemoryFree(), freeBefore);
}

TEST_F(ImageFile, SavedOneByOneCanvasIsFiftyEightBytes) {
    const auto canvas = canvasOf(1, 1, SurfaceFormat::xrgb8888());
    canvas->setPixel(0, 0, 0xFF123456);
    ASSERT_TRUE(saveCanvasBitmap(*canvas, folder / "dot.bmp"));
    const Bytes expected = {'B', 'M', 58, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  // file header
                            40, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 24, 0,   // size, width, height, planes, bits
                            0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                            0x56, 0x34, 0x12, 0};
    EXPECT_EQ(readBytes(folder / "dot.bmp"), expected);
}

// The whole surface is written, bottom row first, blue-green-red, padded with zeros; the
// viewport, origin and handle change nothing.
TEST_F(ImageFile, RowsOfWidthFiveArePaddedToSixteenBytesBottomRowFirst) {
    const auto canvas = canvasOf(kWidth, kHeight, SurfaceFormat::rgb888());
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            canvas->setPixel(x, y, colourAt(x, y));
        }
    }
    canvas->setViewport(1, 1, 2, 1);
    canvas->setOrigin(3, 1);
    canvas->setHandle(2, 2);
    ASSERT_TRUE(saveCanvasBitmap(*canvas, folder / "five.bmp"));
    const Bytes file = readBytes(folder / "five.bmp");
    ASSERT_EQ(file.size(), 54u + 3 * 16);
    EXPECT_EQ(file[2], 54 + 48);
    EXPECT_EQ(file[18], kWidth);
    EXPECT_EQ(file[22], kHeight);
    for (int row = 0; row < kHeight; ++row) {
        const int y = kHeight - 1 - row;
        const uint8_t* at = file.data() + 54 + 16 * row;
        for (int x = 0; x < kWidth; ++x) {
            const uint32_t c = colourAt(x, y);
            EXPECT_EQ((Bytes{at[3 * x], at[3 * x + 1], at[3 * x + 2]}),
                      (Bytes{uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16)}))
                << x << "," << y;
        }
        EXPECT_EQ(at[15], 0) << row;
    }
    // What the writer wrote, a decoder reads back as the same picture.
    const auto again = loadCanvasFile(folder / "five.bmp", 0, SurfaceFormat::rgb888(), nullptr, nullptr);
    ASSERT_NE(again, nullptr);
    again->lock();
    EXPECT_EQ(again->getPixelRaw(4, 0), colourAt(4, 0));
    again->unlock();
}

TEST_F(ImageFile, SixteenBitDisplaySavesLoadedWhiteAsItsFiveSixFiveRounding) {
    save(FIF_PNG, bitmap24(1, 1, [](int, int) { return 0xFFFFFFFFu; }), folder / "white.png");
    const auto canvas = loadCanvasFile(folder / "white.png", 0, SurfaceFormat::rgb565(), nullptr, nullptr);
    ASSERT_NE(canvas, nullptr);
    ASSERT_TRUE(saveCanvasBitmap(*canvas, folder / "white.bmp"));
    const Bytes file = readBytes(folder / "white.bmp");
    ASSERT_EQ(file.size(), 58u);
    EXPECT_EQ((Bytes(file.begin() + 54, file.end())), (Bytes{0xF8, 0xFC, 0xF8, 0}));
}

TEST_F(ImageFile, SaveGoesThroughThePathLayerAndReportsEveryFailure) {
    const auto canvas = canvasOf(2, 2, SurfaceFormat::xrgb8888());
    std::filesystem::create_directory(folder / "Shots");
    EXPECT_TRUE(saveCanvasBitmap(*canvas, folder.path() + "\\shots\\First.bmp"));
    EXPECT_EQ(readBytes(folder / "Shots/First.bmp").size(), 54u + 2 * 8);

    EXPECT_FALSE(saveCanvasBitmap(*canvas, folder / "no-such-folder/shot.bmp"));
    EXPECT_FALSE(saveCanvasBitmap(*canvas, folder / "Shots"));
    struct stat info;
    if (::stat("/dev/full", &info) == 0) {
        EXPECT_FALSE(saveCanvasBitmap(*canvas, "/dev/full"));  // every write finds the disk full
    }
    Surface::failNextLockForTesting();
    EXPECT_FALSE(saveCanvasBitmap(*canvas, folder / "unlocked.bmp"));
    EXPECT_EQ(canvas->lockCount(), 0);
}

TEST_F(ImageFile, ACanvasThatCannotBeLockedIsNotHandedOutHalfLoaded) {
    save(FIF_PNG, sampleWithAlpha(), folder / "sample.png");
    Surface::failNextLockForTesting();
    EXPECT_EQ(loadCanvasFile(folder / "sample.png", 0, SurfaceFormat::xrgb8888(), nullptr, nullptr), nullptr);
}

// The commands on the module's display.
using ImageFileCommands = DisplayTest;

// Four solid blocks: stretched twice, four times, sampled nearest or bilinear, the pixels
// checked lie in a block's interior, away from block edges and the picture's border.
TEST_F(ImageFileCommands, LoadBufferStretchesThePictureOverTheBufferAndKeepsItsOrigin) {
    TempFolder folder;
    const uint32_t blocks[4] = {0xFFC02010, 0xFF10C020, 0xFF2010C0, 0xFFF0F0F0};
    save(FIF_PNG, bitmap24(100, 50, [&](int x, int y) { return blocks[(x / 50) + 2 * (y / 25)]; }),
         folder / "blocks.png");
    sysCanvas* buffer = display().createCanvas(200, 200, 0);
    buffer->setOrigin(7, 9);
    EXPECT_EQ(loadBuffer(int32_t(handleOf(buffer)), str(folder / "blocks.png")), 1);
    EXPECT_EQ(buffer->originX(), 7);
    EXPECT_EQ(buffer->originY(), 9);
    buffer->lock();
    const int near[2] = {97, 102};
    for (int b = 0; b < 4; ++b) {
        EXPECT_EQ(buffer->getPixelRaw(near[b % 2], near[b / 2]), blocks[b]) << b;
    }
    EXPECT_EQ(buffer->getPixelRaw(2, 4), blocks[0]);
    EXPECT_EQ(buffer->getPixelRaw(197, 195), blocks[3]);
    buffer->unlock();
}

TEST_F(ImageFileCommands, LoadBufferSamplesAsTheTransformFilterSays) {
    TempFolder folder;
    save(FIF_PNG, bitmap24(2, 1, [](int x, int) { return x == 0 ? 0xFF000000u : 0xFFFF0000u; }), folder / "two.png");
    sysCanvas* buffer = display().createCanvas(8, 1, 0);
    tFormFilter(0);
    EXPECT_EQ(loadBuffer(int32_t(handleOf(buffer)), str(folder / "two.png")), 1);
    buffer->lock();
    EXPECT_EQ(buffer->getPixelRaw(3, 0), 0xFF000000u);  // nearest: a hard edge
    EXPECT_EQ(buffer->getPixelRaw(4, 0), 0xFFFF0000u);
    buffer->unlock();
    tFormFilter(1);
    EXPECT_EQ(loadBuffer(int32_t(handleOf(buffer)), str(folder / "two.png")), 1);
    buffer->lock();
    const uint32_t red3 = (buffer->getPixelRaw(3, 0) >> 16) & 0xFF;
    const uint32_t red4 = (buffer->getPixelRaw(4, 0) >> 16) & 0xFF;
    buffer->unlock();
    EXPECT_GT(red3, 0u);  // bilinear: the edge is blended
    EXPECT_LT(red4, 255u);
    EXPECT_LT(red3, red4);
}

TEST_F(ImageFileCommands, LoadBufferDrawsOnlyInsideTheViewport) {
    TempFolder folder;
    save(FIF_PNG, bitmap24(4, 4, [](int, int) { return 0xFF808080u; }), folder / "grey.png");
    sysCanvas* buffer = display().createCanvas(40, 40, 0);
    buffer->setViewport(0, 0, 20, 20);
    EXPECT_EQ(loadBuffer(int32_t(handleOf(buffer)), str(folder / "grey.png")), 1);
    buffer->lock();
    EXPECT_EQ(buffer->getPixelRaw(10, 10), 0xFF808080u);
    EXPECT_EQ(buffer->getPixelRaw(30, 30), 0xFF000000u);
    buffer->unlock();
}

TEST_F(ImageFileCommands, LoadBufferOfAFileThatCannotLoadReturnsZeroAndDrawsNothing) {
    TempFolder folder;
    writeBytes(folder / "garbage.png", Bytes(64, 0x5A));
    writePixel(0, 0, int32_t(0xFF445566), 0);
    EXPECT_EQ(loadBuffer(frontBuffer(), str(folder / "garbage.png")), 0);
    EXPECT_EQ(loadBuffer(frontBuffer(), str(folder / "missing.bmp")), 0);
    EXPECT_EQ(uint32_t(readPixel(0, 0, 0)), 0xFF445566u);
}

TEST_F(ImageFileCommands, SaveBufferWritesTheWholeBufferAndLoadBufferReadsItBack) {
    TempFolder folder;
    writePixel(399, 299, int32_t(0xFF0A0B0C), 0);
    EXPECT_EQ(saveBuffer(backBuffer(), str(folder / "screen.bmp")), 1);
    EXPECT_EQ(readBytes(folder / "screen.bmp").size(), 54u + 300 * 1200);
    EXPECT_EQ(saveBuffer(backBuffer(), str(folder / "missing/screen.bmp")), 0);

    cls();
    EXPECT_EQ(loadBuffer(backBuffer(), str(folder / "screen.bmp")), 1);  // same size: an exact copy
    EXPECT_EQ(uint32_t(readPixel(399, 299, 0)), 0xFF0A0B0Cu);
}

TEST_F(ImageFileCommands, UnknownBuffersAreRefusedInDebugModeAndTheNamesReleased) {
    const int32_t bogus = frontBuffer() + 4;
    const int strings = ksStrActiveCount();
    debugMode = true;
    EXPECT_EQ(errorOf([&] { loadBuffer(bogus, str("a.png")); }), "Buffer does not exist");
    EXPECT_EQ(errorOf([&] { saveBuffer(bogus, str("a.bmp")); }), "Buffer does not exist");
    EXPECT_EQ(ksStrActiveCount(), strings);
}

}  // namespace
