// sysCanvas state: initial values, colours per format, clipped and raw pixel access, the
// viewport, nested locks and the modification counter, the collision mask and its upkeep,
// backup and restore.
#include <gtest/gtest.h>

#include "canvas_test_support.h"

namespace {

TEST(Canvas, StartsInItsInitialState) {
    for (const NamedFormat& nf : allFormats()) {
        auto c = makeCanvas(40, 30, nf.format);
        ASSERT_TRUE(c) << nf.name;
        EXPECT_EQ(c->width(), 40);
        EXPECT_EQ(c->height(), 30);
        EXPECT_EQ(c->depth(), nf.format.depth);
        EXPECT_EQ(c->viewport(), (SurfaceRect{0, 0, 40, 30}));
        EXPECT_EQ(c->originX(), 0);
        EXPECT_EQ(c->handleY(), 0);
        EXPECT_EQ(c->maskColour(), 0xFF000000u);
        EXPECT_EQ(c->colourArgb(), 0xFFFFFFFFu);
        EXPECT_EQ(c->clsColour(), 0xFF000000u);
        EXPECT_EQ(c->lockCount(), 0);
        EXPECT_FALSE(c->hasCollisionMask());
        EXPECT_FALSE(c->hasBackup());
        EXPECT_EQ(c->maskWordsPerRow(), 2);
    }
}

TEST(Canvas, CreationHonoursTheMemoryFlags) {
    auto placed = sysCanvas::create(8, 8, CanvasPlaced, SurfaceFormat::xrgb8888(), nullptr, nullptr);
    auto system = sysCanvas::create(8, 8, CanvasSystemMemory, SurfaceFormat::xrgb8888(), nullptr, nullptr);
    EXPECT_EQ(placed->surface().memory(), SurfaceMemory::Video);
    EXPECT_EQ(system->surface().memory(), SurfaceMemory::System);
    EXPECT_FALSE(sysCanvas::create(0, 8, CanvasPlaced, SurfaceFormat::xrgb8888(), nullptr, nullptr));
    // A fresh canvas is cleared and counts that clear.
    EXPECT_EQ(system->modificationCounter(), 1u);
}

TEST(Canvas, ColoursComeBackAsTheSurfaceHoldsThem) {
    auto c565 = makeCanvas(4, 4, SurfaceFormat::rgb565());
    c565->setColour(0xFF0000);
    EXPECT_EQ(c565->colour(), 0xFFF80000u);
    EXPECT_EQ(c565->colourArgb(), 0xFFFF0000u);
    c565->setClsColour(0x00FFFFFF);
    EXPECT_EQ(c565->clsColour(), 0xFFF8FCF8u);
    auto c555 = makeCanvas(4, 4, SurfaceFormat::rgb555());
    c555->setMaskColour(0xFFFFFFFF);
    EXPECT_EQ(c555->maskColour(), 0xFFF8F8F8u);
    auto c32 = makeCanvas(4, 4, SurfaceFormat::xrgb8888());
    c32->setPixel(1, 1, 0x12345678);
    EXPECT_EQ(c32->getPixel(1, 1), 0xFF345678u);
    EXPECT_EQ(nativeAt(*c32, 1, 1), 0x00345678u);
}

TEST(Canvas, GetPixelOutsideTheViewportGivesTheMaskColour) {
    for (const NamedFormat& nf : allFormats()) {
        auto c = makeCanvas(10, 10, nf.format);
        c->setMaskColour(0x00FF00);
        const uint32_t mask = c->maskColour();
        c->setViewport(2, 2, 5, 5);
        c->setOrigin(1, 0);
        storeNative(*c, 1, 3, c->pixelFormat().toNative(0xFFFFFF));
        storeNative(*c, 2, 3, c->pixelFormat().toNative(0xFFFFFF));
        EXPECT_EQ(c->getPixel(0, 3), mask) << "surface x 1 is left of the viewport";
        EXPECT_EQ(c->getPixel(1, 3), c->pixelFormat().toArgb(nativeAt(*c, 2, 3))) << nf.name;
        EXPECT_EQ(c->getPixel(6, 3), mask) << "surface x 7 is at the right edge";
        const uint32_t before = c->modificationCounter();
        c->setPixel(6, 3, 0xFFFFFF);
        EXPECT_EQ(nativeAt(*c, 7, 3), 0u);
        EXPECT_EQ(c->modificationCounter(), before);
    }
}

TEST(Canvas, ViewportIsCutToTheSurface) {
    auto c = makeCanvas(20, 10, SurfaceFormat::rgb565());
    c->setViewport(-5, 4, 10, 100);
    EXPECT_EQ(c->viewport(), (SurfaceRect{0, 4, 5, 10}));
    c->setViewport(25, 0, 10, 10);
    EXPECT_EQ(c->viewport(), (SurfaceRect{}));
    c->setViewport(3, 3, 0, 5);
    EXPECT_EQ(c->viewport(), (SurfaceRect{}));
    c->setViewport(3, 3, 5, -1);
    EXPECT_EQ(c->viewport(), (SurfaceRect{}));
    c->setViewport(0x7FFFFFF0, 0, 0x7FFFFFF0, 5);
    EXPECT_EQ(c->viewport(), (SurfaceRect{}));
}

TEST(Canvas, ZeroWidthViewportDrawsNothing) {
    auto c = makeCanvas(16, 16, SurfaceFormat::xrgb8888());
    const uint32_t before = c->modificationCounter();
    c->setViewport(0, 0, 0, 16);
    c->clear();
    c->plot(1, 1);
    c->line(0, 0, 15, 15);
    c->rect(0, 0, 16, 16, true);
    c->rect(0, 0, 16, 16, false);
    c->oval(0, 0, 16, 16, true);
    c->oval(0, 0, 16, 16, false);
    c->setPixel(2, 2, 0xFFFFFF);
    c->blit(0, 0, *c, 0, 0, 16, 16, true);
    EXPECT_EQ(c->modificationCounter(), before);
    for (uint32_t v : snapshot(*c)) {
        ASSERT_EQ(v, 0u);
    }
}

TEST(Canvas, NestedLocksReleaseAtTheOutermostUnlock) {
    auto c = makeCanvas(8, 8, SurfaceFormat::rgb565());
    EXPECT_TRUE(c->lock());
    EXPECT_TRUE(c->lock());
    c->unlock();
    EXPECT_EQ(c->lockCount(), 1);
    EXPECT_EQ(c->surface().lockCount(), 1);
    c->unlock();
    EXPECT_EQ(c->lockCount(), 0);
    EXPECT_EQ(c->surface().lockCount(), 0);
    c->unlock();  // not locked: nothing, and the count stays at 0
    EXPECT_EQ(c->lockCount(), 0);
    EXPECT_EQ(c->surface().lockCount(), 0);
}

TEST(Canvas, FailedLockDrawsNothingButStaysPaired) {
    auto c = makeCanvas(8, 8, SurfaceFormat::xrgb8888());
    Surface::failNextLockForTesting();
    EXPECT_FALSE(c->lock());
    EXPECT_FALSE(c->drawable());
    c->setPixel(1, 1, 0xFFFFFF);  // nested inside the failed lock
    EXPECT_EQ(nativeAt(*c, 1, 1), 0u);
    c->unlock();
    EXPECT_EQ(c->lockCount(), 0);
    EXPECT_EQ(c->surface().lockCount(), 0);
    Surface::failNextLockForTesting();
    c->line(0, 0, 7, 0);
    EXPECT_EQ(nativeAt(*c, 3, 0), 0u);
    c->setPixel(1, 1, 0xFFFFFF);
    EXPECT_EQ(nativeAt(*c, 1, 1), 0xFFFFFFu);
}

TEST(Canvas, ModificationCounterFollowsTheDrawing) {
    auto c = makeCanvas(16, 16, SurfaceFormat::xrgb8888());
    auto other = makeCanvas(16, 16, SurfaceFormat::xrgb8888());
    uint32_t n = c->modificationCounter();
    c->clear();
    EXPECT_EQ(c->modificationCounter(), ++n);
    c->plot(3, 3);
    EXPECT_EQ(c->modificationCounter(), ++n);
    c->rect(1, 1, 5, 5, false);
    EXPECT_EQ(c->modificationCounter(), ++n);
    c->oval(1, 1, 5, 5, true);
    EXPECT_EQ(c->modificationCounter(), ++n);
    c->line(0, 0, 9, 3);
    n += 10;
    EXPECT_EQ(c->modificationCounter(), n);
    c->setPixel(0, 0, 1);
    EXPECT_EQ(c->modificationCounter(), ++n);
    ASSERT_TRUE(c->lock());
    c->setPixelRaw(2, 2, 0xFFFFFF);
    EXPECT_EQ(c->modificationCounter(), ++n);
    c->getPixelRaw(2, 2);
    c->unlock();
    c->getPixel(2, 2);
    const uint32_t otherBefore = other->modificationCounter();
    c->copyPixel(5, 5, *other, 2, 2);
    other->copyPixel(2, 2, *c, 2, 2);
    EXPECT_EQ(c->modificationCounter(), n);
    EXPECT_EQ(other->modificationCounter(), otherBefore);
    EXPECT_EQ(nativeAt(*other, 2, 2), 0xFFFFFFu) << "copy pixel copies";
    c->plot(100, 100);
    EXPECT_EQ(c->modificationCounter(), n) << "clipped away entirely";
    c->setModificationCounter(77);
    EXPECT_EQ(c->modificationCounter(), 77u);
}

TEST(Canvas, CopyPixelGoesThroughBothOriginsAndViewports) {
    auto d = makeCanvas(8, 8, SurfaceFormat::rgb565());
    auto s = makeCanvas(8, 8, SurfaceFormat::rgb565());
    storeNative(*s, 4, 5, 0x1234);
    s->setOrigin(1, 1);
    d->setOrigin(2, 0);
    d->copyPixel(0, 0, *s, 3, 4);
    EXPECT_EQ(nativeAt(*d, 2, 0), 0x1234u);
    s->setViewport(0, 0, 4, 4);
    d->copyPixel(1, 1, *s, 3, 4);
    EXPECT_EQ(nativeAt(*d, 3, 1), 0u) << "source point outside its viewport";
    // Different depths convert instead of copying stray bytes.
    auto d32 = makeCanvas(8, 8, SurfaceFormat::xrgb8888());
    s->setViewport(0, 0, 8, 8);
    d32->copyPixel(0, 0, *s, 3, 4);
    EXPECT_EQ(d32->getPixel(0, 0), s->pixelFormat().toArgb(0x1234));
}

// Mask bit for pixel x of row y, read straight from the layout.
bool maskBit(const uint32_t* mask, int32_t wordsPerRow, int32_t x, int32_t y) {
    return (mask[y * wordsPerRow + x / 32] >> (31 - x % 32)) & 1;
}

TEST(CollisionMask, LayoutIsMostSignificantBitLeftmost) {
    for (const NamedFormat& nf : allFormats()) {
        auto c = makeCanvas(70, 3, nf.format);
        const PixelFormat& f = c->pixelFormat();
        c->setMaskColour(0xFF00FF);
        c->setClsColour(0xFF00FF);
        c->clear();
        storeNative(*c, 0, 0, f.toNative(0xFFFFFF));
        storeNative(*c, 33, 1, f.toNative(0x000001 << 3));  // lowest blue bit every format keeps
        storeNative(*c, 69, 2, f.toNative(0xFF00FF) | f.alphaMask);
        for (int x = 64; x < 70; ++x) {
            storeNative(*c, x, 1, f.toNative(0xFFFFFF));
        }
        const uint32_t* m = c->collisionMask();
        ASSERT_EQ(c->maskWordsPerRow(), 3);
        EXPECT_EQ(m[0], 0x80000000u) << nf.name;
        EXPECT_EQ(m[1], 0u);
        EXPECT_EQ(m[3 + 1], 0x40000000u) << nf.name;
        EXPECT_EQ(m[6 + 2], 0u) << "alpha is ignored";
        EXPECT_EQ(m[3 + 2], 0xFC000000u) << "columns past the width stay 0";
    }
}

TEST(CollisionMask, FillsAndBlitsRefreshTheirWidenedRectangleAtOnce) {
    auto c = makeCanvas(100, 10, SurfaceFormat::xrgb8888());
    c->collisionMask();
    // Pixels drawn behind the canvas's back are picked up only where a rectangle is refreshed.
    storeNative(*c, 10, 5, 0xFFFFFF);
    storeNative(*c, 70, 5, 0xFFFFFF);
    c->plot(40, 5);  // word 1 (32..63) only
    const uint32_t* m = c->collisionMask();
    EXPECT_TRUE(maskBit(m, 4, 40, 5));
    EXPECT_FALSE(maskBit(m, 4, 10, 5));
    EXPECT_FALSE(maskBit(m, 4, 70, 5));
    c->rect(30, 5, 3, 1, true);  // columns 30..32: words 0 and 1
    EXPECT_TRUE(maskBit(m, 4, 10, 5));
    EXPECT_FALSE(maskBit(m, 4, 70, 5));
    auto s = makeCanvas(4, 8, SurfaceFormat::xrgb8888());
    c->blit(64, 0, *s, 0, 0, 1, 6, true);  // black: transparent; word 2 rows 0..5
    EXPECT_TRUE(maskBit(m, 4, 70, 5));
    EXPECT_FALSE(maskBit(m, 4, 64, 1));
    c->markModified({96, 9, 100, 10});
    c->setColour(0x000000);
    c->clear();
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 100; ++x) {
            ASSERT_FALSE(maskBit(m, 4, x, y));
        }
    }
}

TEST(CollisionMask, RebuiltOnlyAtTheOutermostUnlockAndOnlyAfterDrawing) {
    auto c = makeCanvas(40, 4, SurfaceFormat::rgb565());
    const uint32_t* m = c->collisionMask();
    ASSERT_TRUE(c->lock());
    ASSERT_TRUE(c->lock());
    c->setPixelRaw(3, 1, 0xFFFFFF);
    c->unlock();
    EXPECT_FALSE(maskBit(m, 2, 3, 1)) << "inner unlock leaves the mask alone";
    c->unlock();
    EXPECT_TRUE(maskBit(m, 2, 3, 1));
    // A lock without drawing does not rebuild: pixels written behind its back stay unseen.
    storeNative(*c, 5, 2, 0xFFFF);
    c->lock();
    c->getPixelRaw(5, 2);
    c->unlock();
    EXPECT_FALSE(maskBit(m, 2, 5, 2));
    // A line relies on the unlock rule.
    c->line(0, 3, 39, 3);
    EXPECT_TRUE(maskBit(m, 2, 39, 3));
    EXPECT_TRUE(maskBit(m, 2, 5, 2)) << "the whole mask was rebuilt";
}

TEST(Canvas, BackupAndRestoreKeepThePicture) {
    auto c = sysCanvas::create(12, 7, CanvasPlaced, SurfaceFormat::rgb888(), nullptr, nullptr);
    ASSERT_EQ(c->surface().memory(), SurfaceMemory::Video);
    c->setColour(0x123456);
    c->rect(2, 2, 5, 3, true);
    const auto before = snapshot(*c);
    ASSERT_TRUE(c->backup());
    EXPECT_TRUE(c->hasBackup());
    c->clear();
    c->restore();
    EXPECT_FALSE(c->hasBackup());
    EXPECT_EQ(snapshot(*c), before);
    auto sys = makeCanvas(4, 4, SurfaceFormat::rgb888());
    EXPECT_TRUE(sys->backup());
    EXPECT_FALSE(sys->hasBackup()) << "a system-memory surface needs no twin";
}

TEST(Canvas, DestroyingALockedCanvasReleasesTheSharedSurface) {
    std::shared_ptr<Surface> shared = Surface::create(8, 8, SurfaceFormat::xrgb8888(), SurfaceMemory::System);
    auto front = std::make_unique<sysCanvas>(shared, 0, nullptr, nullptr);
    auto back = std::make_unique<sysCanvas>(shared, 0, nullptr, nullptr);
    front->lock();
    front->lock();
    back->lock();
    EXPECT_EQ(shared->lockCount(), 2);
    front.reset();
    EXPECT_EQ(shared->lockCount(), 1);
    back->setPixel(1, 1, 0xFFFFFF);
    back->unlock();
    EXPECT_EQ(shared->lockCount(), 0);
}

}  // namespace
