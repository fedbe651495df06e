// The image commands through the graphics module on a real headless display: the image
// set and its sweeps, validation in debug mode (and none outside it), making, copying and
// drawing frames, tiling, grabbing, masks and handles, transforms, collisions, and frame
// strips cut from a strip canvas.
#include "tests/graphics/display_fixture.h"

#include <cmath>

#include "graphics/frame_strip.h"
#include "graphics/image.h"

using namespace gfxcmd;

namespace {

class ImageCommands : public DisplayTest {
protected:
    sysCanvas* frame(int32_t image, int32_t n = 0) { return imageOf(image)->frames[size_t(n)]; }
    static Image* imageOf(int32_t image) { return reinterpret_cast<Image*>(uintptr_t(uint32_t(image))); }

    // A w x h image whose frame n is filled with colour n + 1 and has a white dot at (1, 1).
    int32_t paintedImage(int32_t w, int32_t h, int32_t frames = 1) {
        const int32_t image = createImage(w, h, frames);
        for (int32_t n = 0; n < frames; ++n) {
            sysCanvas* f = frame(image, n);
            f->setColour(0x102030 * uint32_t(n + 1));
            f->rect(0, 0, w, h, true);
            f->setColour(0xFFFFFF);
            f->plot(1, 1);
        }
        return image;
    }

    uint32_t pixel(sysCanvas* c, int32_t x, int32_t y) {
        c->lock();
        const uint32_t argb = c->getPixelRaw(x, y) & 0xFFFFFF;
        c->unlock();
        return argb;
    }
    uint32_t back(int32_t x, int32_t y) { return pixel(display().backCanvas(), x, y); }
};

TEST_F(ImageCommands, EveryImageCommandChecksItsImageAndFrameInDebugMode) {
    const int32_t image = paintedImage(8, 8, 2);
    const int32_t unknown = image + 4;
    const int32_t empty = createImage(8, 8, 0);
    ASSERT_NE(empty, 0);
    debugMode = true;
    // (call with the image and frame to check) for every command that validates.
    const std::vector<std::function<void(int32_t, int32_t)>> calls = {
        [](int32_t i, int32_t) { copyImage(i); },
        [](int32_t i, int32_t f) { saveImage(i, ksStrNew("x.bmp"), f); },
        [](int32_t i, int32_t f) { grabImage(i, 0, 0, f); },
        [](int32_t i, int32_t f) { imageBuffer(i, f); },
        [](int32_t i, int32_t f) { drawImage(i, 0, 0, f); },
        [](int32_t i, int32_t f) { drawBlock(i, 0, 0, f); },
        [](int32_t i, int32_t f) { tileImage(i, 0, 0, f); },
        [](int32_t i, int32_t f) { tileBlock(i, 0, 0, f); },
        [](int32_t i, int32_t f) { drawImageRect(i, 0, 0, 0, 0, 2, 2, f); },
        [](int32_t i, int32_t f) { drawBlockRect(i, 0, 0, 0, 0, 2, 2, f); },
        [](int32_t i, int32_t) { maskImage(i, 1, 2, 3); },
        [](int32_t i, int32_t) { handleImage(i, 1, 1); },
        [](int32_t i, int32_t) { midHandle(i); },
        [](int32_t i, int32_t) { imageWidth(i); },
        [](int32_t i, int32_t) { imageHeight(i); },
        [](int32_t i, int32_t) { imageXHandle(i); },
        [](int32_t i, int32_t) { imageYHandle(i); },
        [](int32_t i, int32_t) { scaleImage(i, 2, 2); },
        [](int32_t i, int32_t) { resizeImage(i, 4, 4); },
        [](int32_t i, int32_t) { rotateImage(i, 30); },
        [](int32_t i, int32_t) { tFormImage(i, 1, 0, 0, 1); },
        [](int32_t i, int32_t) { imageRectOverlap(i, 0, 0, 0, 0, 1, 1); },
        [](int32_t i, int32_t f) { imageRectCollide(i, 0, 0, f, 0, 0, 1, 1); },
    };
    for (size_t k = 0; k < calls.size(); ++k) {
        EXPECT_EQ(errorOf([&] { calls[k](unknown, 0); }), "Image does not exist") << "call " << k;
        EXPECT_EQ(errorOf([&] { calls[k](0, 0); }), "Image does not exist") << "call " << k;
        EXPECT_EQ(errorOf([&] { calls[k](empty, 0); }), "Image frame out of range") << "call " << k;
    }
    // Frame numbers, negative ones included, are checked against the frame count.
    for (int32_t bad : {2, -1, INT32_MIN}) {
        EXPECT_EQ(errorOf([&] { drawImage(image, 0, 0, bad); }), "Image frame out of range");
        EXPECT_EQ(errorOf([&] { imageBuffer(image, bad); }), "Image frame out of range");
        EXPECT_EQ(errorOf([&] { imagesCollide(image, 0, 0, 0, image, 0, 0, bad); }), "Image frame out of range");
    }
    EXPECT_EQ(errorOf([&] { drawImage(image, 0, 0, 1); }), "");
    // Two images: the first is checked first.
    EXPECT_EQ(errorOf([&] { imagesOverlap(unknown, 0, 0, empty, 0, 0); }), "Image does not exist");
    EXPECT_EQ(errorOf([&] { imagesOverlap(image, 0, 0, empty, 0, 0); }), "Image frame out of range");
    EXPECT_EQ(errorOf([&] { imagesCollide(empty, 0, 0, 0, unknown, 0, 0, 0); }), "Image frame out of range");
    EXPECT_EQ(errorOf([&] { imagesCollide(image, 0, 0, 0, unknown, 0, 0, 0); }), "Image does not exist");
    // A failed check changes nothing, and strings are released all the same.
    const int before = ksStrActiveCount();
    EXPECT_EQ(errorOf([&] { saveImage(unknown, ksStrNew("x.bmp"), 0); }), "Image does not exist");
    EXPECT_EQ(ksStrActiveCount(), before);
    EXPECT_EQ(liveImageCount(), 2u);
}

TEST_F(ImageCommands, OutsideDebugModeHandlesAreTrustedAndFramesBeyondTheImageAreIgnored) {
    const int32_t image = paintedImage(8, 8);
    // An image the set does not know is used as it is, without a check.
    Image stray{{frame(image)}};
    const int32_t strayHandle = int32_t(handleOf(&stray));
    drawBlock(strayHandle, 20, 20);
    EXPECT_EQ(back(20, 20), 0x102030u);
    EXPECT_EQ(imageWidth(strayHandle), 8);
    debugMode = true;
    EXPECT_EQ(errorOf([&] { imageWidth(strayHandle); }), "Image does not exist");
    debugMode = false;
    // Frames beyond the image: nothing drawn, zero answers, no error.
    const int32_t empty = createImage(4, 4, 0);
    EXPECT_EQ(errorOf([&] {
                  drawImage(image, 40, 40, 1);
                  drawImage(image, 40, 40, -1);
                  tileImage(empty);
                  midHandle(empty);
                  scaleImage(empty, 2, 2);
              }),
              "");
    EXPECT_EQ(back(40, 40), 0u);
    EXPECT_EQ(imageBuffer(image, 5), 0);
    EXPECT_EQ(imageWidth(empty), 0);
    EXPECT_EQ(imagesCollide(image, 0, 0, 3, image, 0, 0, 0), 0);
}

TEST_F(ImageCommands, FreeImageIgnoresUnknownHandlesAndLeavesTheFrontBufferCurrent) {
    debugMode = true;
    const int32_t image = paintedImage(8, 8, 2);
    const int32_t buffer = imageBuffer(image, 1);
    setBuffer(buffer);
    freeImage(image);
    EXPECT_EQ(graphicsBuffer(), frontBuffer());
    EXPECT_EQ(display().verifyCanvas(uint32_t(buffer)), nullptr);
    EXPECT_EQ(liveImageCount(), 0u);
    EXPECT_EQ(errorOf([&] {
                  freeImage(image);  // freed already
                  freeImage(0);
                  freeImage(12345);
              }),
              "");
    EXPECT_EQ(errorOf([&] { drawImage(image, 0, 0); }), "Image does not exist");
}

TEST_F(ImageCommands, GraphicsEndGraphicsAndModuleDestructionFreeEveryImage) {
    auto makeTwo = [&] {
        paintedImage(4, 4);
        setBuffer(imageBuffer(paintedImage(4, 4, 3), 2));
        EXPECT_EQ(liveImageCount(), 2u);
    };
    makeTwo();
    endGraphics();  // no mode chosen yet: the images go, the display stays
    EXPECT_EQ(liveImageCount(), 0u);
    EXPECT_EQ(graphicsBuffer(), frontBuffer());
    makeTwo();
    graphics(320, 240, 0, 2);
    EXPECT_EQ(liveImageCount(), 0u);
    makeTwo();
    endGraphics();
    EXPECT_EQ(liveImageCount(), 0u);
    makeTwo();
    graphics_destroy();
    EXPECT_EQ(liveImageCount(), 0u);
    ASSERT_TRUE(graphics_create());
}

TEST_F(ImageCommands, CreateImageMakesFramesOrNothing) {
    const int32_t image = createImage(12, 7, 3);
    ASSERT_NE(image, 0);
    EXPECT_EQ(imageOf(image)->frames.size(), 3u);
    EXPECT_EQ(imageWidth(image), 12);
    EXPECT_EQ(imageHeight(image), 7);
    EXPECT_EQ(imageXHandle(image), 0);
    // Each frame is a buffer of the display, cleared to black.
    EXPECT_EQ(display().verifyCanvas(uint32_t(imageBuffer(image, 2))), frame(image, 2));
    EXPECT_EQ(pixel(frame(image, 2), 11, 6), 0u);
    // Sizes that make no canvas give 0 and leave nothing behind.
    EXPECT_EQ(createImage(0, 5), 0);
    EXPECT_EQ(createImage(5, -1, 2), 0);
    EXPECT_EQ(createImage(40000, 5), 0);
    EXPECT_EQ(liveImageCount(), 1u);
    autoMidHandle(1);
    const int32_t centred = createImage(9, 5);
    EXPECT_EQ(imageXHandle(centred), 4);
    EXPECT_EQ(imageYHandle(centred), 2);
    autoMidHandle(0);
    EXPECT_EQ(imageXHandle(createImage(9, 5)), 0);
}

TEST_F(ImageCommands, CopyImageCopiesPixelsHandlesAndMaskColoursOfEveryFrame) {
    const int32_t image = paintedImage(6, 5, 2);
    handleImage(image, 3, -2);
    maskImage(image, 0x10, 0x20, 0x30);
    autoMidHandle(1);
    const int32_t copy = copyImage(image);
    autoMidHandle(0);
    ASSERT_NE(copy, 0);
    ASSERT_NE(copy, image);
    for (int32_t n = 0; n < 2; ++n) {
        EXPECT_EQ(pixel(frame(copy, n), 0, 0), 0x102030u * uint32_t(n + 1));
        EXPECT_EQ(pixel(frame(copy, n), 1, 1), 0xFFFFFFu);
        EXPECT_EQ(frame(copy, n)->handleX(), 3);
        EXPECT_EQ(frame(copy, n)->handleY(), -2);
        EXPECT_EQ(frame(image, n)->handleX(), 3);  // restored
        EXPECT_EQ(frame(copy, n)->maskColour() & 0xFFFFFF, 0x102030u);
    }
}

TEST_F(ImageCommands, DrawImageIsMaskedDrawBlockSolidBothAtHandleAndOrigin) {
    const int32_t image = createImage(4, 4);
    frame(image)->setColour(0xABCDEF);
    frame(image)->rect(0, 0, 2, 4, true);  // left half coloured, right half black
    setBuffer(backBuffer());
    color(0x11, 0x22, 0x33);
    rect(0, 0, 100, 100, 1);
    origin(10, 20);
    handleImage(image, 1, 2);
    drawImage(image, 0, 0);  // top-left at (10 - 1, 20 - 2)
    EXPECT_EQ(back(9, 18), 0xABCDEFu);
    EXPECT_EQ(back(11, 18), 0x112233u);  // black is transparent
    drawBlock(image, 10, 0);
    EXPECT_EQ(back(19, 18), 0xABCDEFu);
    EXPECT_EQ(back(21, 18), 0u);  // copied
    // Rectangles of the frame: its top-left lands at the position less the handle.
    drawBlockRect(image, 30, 0, 1, 1, 2, 2);
    EXPECT_EQ(back(39, 18), 0xABCDEFu);
    EXPECT_EQ(back(40, 18), 0u);
    EXPECT_EQ(back(41, 18), 0x112233u);
    drawImageRect(image, 50, 0, 1, 1, 2, 2);
    EXPECT_EQ(back(59, 18), 0xABCDEFu);
    EXPECT_EQ(back(60, 18), 0x112233u);
}

TEST_F(ImageCommands, TilesCoverTheViewportOnTheGridOfDrawImage) {
    const int32_t image = createImage(5, 3);
    sysCanvas* f = frame(image);
    for (int32_t y = 0; y < 3; ++y) {
        for (int32_t x = 0; x < 5; ++x) {
            f->setPixel(x, y, (x + y) % 3 == 0 ? 0 : 0x010000u * uint32_t(x + 1) + uint32_t(y + 1));
        }
    }
    handleImage(image, 2, 1);
    setBuffer(backBuffer());
    for (bool solid : {false, true}) {
        for (int32_t x : {0, 7, -13}) {
            color(0x77, 0x77, 0x77);
            viewport(0, 0, 400, 300);
            origin(0, 0);
            rect(0, 0, 100, 100, 1);
            origin(4, -6);
            viewport(10, 12, 31, 17);
            solid ? tileBlock(image, x, 5) : tileImage(image, x, 5);
            for (int32_t py = 0; py < 40; ++py) {
                for (int32_t px = 0; px < 50; ++px) {
                    uint32_t want = 0x777777;
                    if (px >= 10 && px < 41 && py >= 12 && py < 29) {
                        // DrawImage at (x, 5) puts the frame's (0, 0) at (x + 4 - 2, 5 - 6 - 1).
                        const int32_t u = ((px - (x + 2)) % 5 + 5) % 5;
                        const int32_t v = ((py - (5 - 7)) % 3 + 3) % 3;
                        const uint32_t source = pixel(f, u, v);
                        want = source == 0 && !solid ? 0x777777 : source;
                    }
                    ASSERT_EQ(back(px, py), want) << px << "," << py << " x " << x << (solid ? " block" : "");
                }
            }
        }
    }
}

TEST_F(ImageCommands, GrabImageTakesWhatDrawingItBackWouldCover) {
    setBuffer(backBuffer());
    origin(3, 4);
    for (int32_t y = 0; y < 12; ++y) {
        for (int32_t x = 0; x < 12; ++x) {
            writePixel(x, y, int32_t(0xFF000000u | uint32_t(x * 16 + y)), 0);
        }
    }
    const int32_t image = paintedImage(6, 6);
    handleImage(image, 2, 1);
    frame(image)->setViewport(0, 0, 1, 1);
    grabImage(image, 5, 5);  // the frame's (0, 0) is buffer point (3, 4) from the origin
    EXPECT_EQ(pixel(frame(image), 0, 0), uint32_t(3 * 16 + 4));
    EXPECT_EQ(pixel(frame(image), 5, 5), uint32_t(8 * 16 + 9));  // the viewport was reset
    // Parts outside the buffer leave the frame's pixels as they were.
    const int32_t edge = paintedImage(6, 6);
    grabImage(edge, -6, -7);  // buffer surface from (-3, -3)
    EXPECT_EQ(pixel(frame(edge), 0, 0), 0x102030u);
    EXPECT_EQ(pixel(frame(edge), 3, 3), 0u);  // surface (0, 0), never written: black
}

TEST_F(ImageCommands, MaskImageComposesUnclampedAndRefreshesCollisionMasks) {
    const int32_t a = paintedImage(8, 8);
    const int32_t b = paintedImage(8, 8);
    EXPECT_EQ(imagesCollide(a, 0, 0, 0, b, 4, 4, 0), 1);
    maskImage(a, 0x10, 0x20, 0x30);  // the fill colour: only the white dot stays solid
    EXPECT_EQ(imagesCollide(a, 0, 0, 0, b, 4, 4, 0), 0);
    EXPECT_EQ(imagesCollide(a, 0, 0, 0, b, 0, 0, 0), 1);
    maskImage(a, 0, 256, 0);  // (0 * 256 + 256) * 256: red 1
    EXPECT_EQ(frame(a)->maskColour() & 0xFFFFFF, 0x010000u);
}

TEST_F(ImageCommands, TransformsReplaceEveryFrameAndLeaveTheCurrentBuffer) {
    const int32_t image = paintedImage(3, 3, 2);
    handleImage(image, 1, 1);
    sysCanvas* old = frame(image, 1);
    setBuffer(imageBuffer(image, 1));
    scaleImage(image, 2, 2);
    EXPECT_EQ(graphicsBuffer(), frontBuffer());
    EXPECT_EQ(display().verifyCanvas(handleOf(old)), nullptr);
    for (int32_t n = 0; n < 2; ++n) {
        EXPECT_EQ(frame(image, n)->width(), 6);
        EXPECT_EQ(frame(image, n)->handleX(), 2);
        EXPECT_NE(display().verifyCanvas(handleOf(frame(image, n))), nullptr);
    }
    resizeImage(image, 15, 4.5f);
    EXPECT_EQ(imageWidth(image), 15);
    EXPECT_EQ(imageHeight(image), 5);
    // Results that cannot be made leave the frames as they were.
    sysCanvas* kept = frame(image);
    scaleImage(image, 0, 1);
    tFormImage(image, 1, 1, 1, 1);
    resizeImage(image, 1e9f, 1e9f);
    EXPECT_EQ(frame(image), kept);
    EXPECT_EQ(imageWidth(image), 15);
}

TEST_F(ImageCommands, RotateImageByZeroReproducesEveryFrameAndQuarterTurnsGoClockwise) {
    for (int32_t filter : {1, 0}) {
        tFormFilter(filter);
        const int32_t image = createImage(10, 20, 2);
        for (int32_t n = 0; n < 2; ++n) {
            for (int32_t y = 0; y < 20; ++y) {
                for (int32_t x = 0; x < 10; ++x) {
                    frame(image, n)->setPixel(x, y, uint32_t(x * 0x1300 + y * 0x0B + n * 0x500000));
                }
            }
        }
        const int32_t copy = copyImage(image);
        rotateImage(image, 0);
        for (int32_t n = 0; n < 2; ++n) {
            ASSERT_EQ(frame(image, n)->width(), 10);
            for (int32_t y = 0; y < 20; ++y) {
                for (int32_t x = 0; x < 10; ++x) {
                    ASSERT_EQ(pixel(frame(image, n), x, y), pixel(frame(copy, n), x, y));
                }
            }
        }
        rotateImage(copy, 90);
        EXPECT_GE(imageWidth(copy), 20);
        EXPECT_LE(imageWidth(copy), 21);
        EXPECT_GE(imageHeight(copy), 10);
        EXPECT_LE(imageHeight(copy), 11);
        // The frame's top-left pixel ends just left of the handle (the anchor, at the old
        // top-left corner), on the handle's row: the top-right of the turned picture.
        sysCanvas* turned = frame(copy, 0);
        EXPECT_EQ(pixel(turned, turned->handleX() - 1, turned->handleY()), pixel(frame(image, 0), 0, 0))
            << "filter " << filter;
    }
    tFormFilter(1);
}

TEST_F(ImageCommands, OverlapAndCollisionCommandsUseFrameZeroOrTheGivenFrame) {
    graphics(320, 240, 16, 1);  // a 16-bit display
    const int32_t image = createImage(40, 10, 2);
    frame(image, 1)->setColour(0xFFFFFF);
    frame(image, 1)->rect(0, 0, 40, 10, true);  // frame 0 stays black: nothing solid
    EXPECT_EQ(imagesOverlap(image, 0, 0, image, 39, 9), 1);
    EXPECT_EQ(imagesOverlap(image, 0, 0, image, 40, 0), 0);
    EXPECT_EQ(imagesCollide(image, 0, 0, 0, image, 5, 5, 1), 0);
    EXPECT_EQ(imagesCollide(image, 0, 0, 1, image, 39, 9, 1), 1);
    midHandle(image);
    EXPECT_EQ(frame(image, 1)->handleX(), 20);
    EXPECT_EQ(imageYHandle(image), 5);
    EXPECT_EQ(imagesCollide(image, 20, 5, 1, image, 59, 14, 1), 1);
    EXPECT_EQ(imagesCollide(image, 20, 5, 1, image, 60, 5, 1), 0);
    EXPECT_EQ(imageRectOverlap(image, 20, 5, 0, 0, 1, 1), 1);
    EXPECT_EQ(imageRectCollide(image, 20, 5, 0, 0, 0, 1, 1), 0);
    EXPECT_EQ(imageRectCollide(image, 20, 5, 1, 0, 0, 1, 1), 1);
    EXPECT_EQ(imageRectCollide(image, 20, 5, 1, 40, 0, 1, 1), 0);
    EXPECT_EQ(rectsOverlap(0, 0, 10, 10, 9, 9, 1, 1), 1);
    EXPECT_EQ(rectsOverlap(0, 0, 10, 10, 10, 9, 1, 1), 0);
}

// A 100 x 64 strip of 32 x 32 cells, each cell filled with its number (1 to 6) as blue; the
// 4 pixels right of the cells are red.
std::unique_ptr<sysCanvas> cellStrip(sysGraphics& display) {
    auto strip = sysCanvas::create(100, 64, CanvasSystemMemory, display.surfaceFormat(), &display, nullptr);
    strip->setColour(0xFF0000);
    strip->rect(0, 0, 100, 64, true);
    for (int32_t cell = 0; cell < 6; ++cell) {
        strip->setColour(uint32_t(cell + 1));
        strip->rect(cell % 3 * 32, cell / 3 * 32, 32, 32, true);
    }
    return strip;
}

TEST_F(ImageCommands, FrameStripsReadWholeCellsLeftToRightThenDown) {
    auto strip = cellStrip(display());
    Image* image = imageFromStrip(*strip, 32, 32, 2, 4);
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(image->frames.size(), 4u);
    for (size_t n = 0; n < 4; ++n) {
        EXPECT_EQ(image->frames[n]->width(), 32);
        EXPECT_EQ(pixel(image->frames[n], 0, 0), uint32_t(3 + n));
        EXPECT_EQ(pixel(image->frames[n], 31, 31), uint32_t(3 + n));
    }
    EXPECT_TRUE(isLiveImage(image));
    Image* last = imageFromStrip(*strip, 32, 32, 4, 2);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(pixel(last->frames[1], 31, 0), 6u);
    EXPECT_EQ(errorOf([&] { imageFromStrip(*strip, 32, 32, 4, 3); }), "Not enough frames in bitmap");
    EXPECT_EQ(errorOf([&] { imageFromStrip(*strip, 0, 32, 0, 1); }), "Not enough frames in bitmap");
    EXPECT_EQ(errorOf([&] { imageFromStrip(*strip, 32, -1, 0, 1); }), "Not enough frames in bitmap");
    EXPECT_EQ(errorOf([&] { imageFromStrip(*strip, 101, 1, 0, 1); }), "Not enough frames in bitmap");
    EXPECT_EQ(liveImageCount(), 2u);
    autoMidHandle(1);
    Image* centred = imageFromStrip(*strip, 50, 20, 0, 6);  // 2 columns, 3 rows
    ASSERT_NE(centred, nullptr);
    EXPECT_EQ(centred->frames[5]->handleX(), 25);
    EXPECT_EQ(centred->frames[5]->handleY(), 10);
    EXPECT_EQ(pixel(centred->frames[1], 49, 0), 0xFF0000u);  // columns 50..99 of the first row
    autoMidHandle(0);
}

TEST_F(ImageCommands, LoadAnimImageChecksCountAndFirstBeforeTheFile) {
    const int before = ksStrActiveCount();
    EXPECT_EQ(errorOf([] { loadAnimImage(ksStrNew("missing.png"), 8, 8, -1, 0); }), "Illegal frame count");
    EXPECT_EQ(errorOf([] { loadAnimImage(ksStrNew("missing.png"), 8, 8, -1, 1); }), "Illegal first frame");
    EXPECT_EQ(loadAnimImage(ksStrNew("missing.png"), 8, 8, 0, 1), 0);
    EXPECT_EQ(loadImage(ksStrNew("missing.png")), 0);
    EXPECT_EQ(ksStrActiveCount(), before);
    EXPECT_EQ(liveImageCount(), 0u);
}

}  // namespace
