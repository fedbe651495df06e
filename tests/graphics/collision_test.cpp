// Collision tests against slow per-pixel references: random shapes in every pixel format,
// random handles and placements, with the two frames' left edges both a multiple of 32
// pixels apart (no carry between words) and not; and the designed edge cases.
#include <gtest/gtest.h>

#include <random>

#include "graphics/collision.h"
#include "tests/graphics/canvas_test_support.h"

namespace {

constexpr uint32_t kMask = 0x204060;  // the mask colour of every random shape

bool solid(sysCanvas& c, int64_t x, int64_t y) {
    if (x < 0 || y < 0 || x >= c.width() || y >= c.height()) {
        return false;
    }
    c.lock();
    const uint32_t argb = c.getPixelRaw(int32_t(x), int32_t(y));
    c.unlock();
    return (argb & 0xFFFFFF) != (c.maskColour() & 0xFFFFFF);
}

// Every screen pixel: solid in both frames where they are placed.
bool referenceCollide(sysCanvas& a, int32_t ax, int32_t ay, sysCanvas& b, int32_t bx, int32_t by) {
    const int64_t al = int64_t(ax) - a.handleX(), at = int64_t(ay) - a.handleY();
    const int64_t bl = int64_t(bx) - b.handleX(), bt = int64_t(by) - b.handleY();
    for (int64_t y = at; y < at + a.height(); ++y) {
        for (int64_t x = al; x < al + a.width(); ++x) {
            if (solid(a, x - al, y - at) && solid(b, x - bl, y - bt)) {
                return true;
            }
        }
    }
    return false;
}

bool referenceRectCollide(sysCanvas& f, int32_t x, int32_t y, int32_t rx, int32_t ry, int32_t rw, int32_t rh) {
    const int64_t l = int64_t(x) - f.handleX(), t = int64_t(y) - f.handleY();
    for (int64_t py = ry; py < int64_t(ry) + rh; ++py) {
        for (int64_t px = rx; px < int64_t(rx) + rw; ++px) {
            if (solid(f, px - l, py - t)) {
                return true;
            }
        }
    }
    return false;
}

struct Shapes {
    std::mt19937 random{12345};

    int32_t between(int32_t low, int32_t high) { return std::uniform_int_distribution<int32_t>(low, high)(random); }

    // A frame of random size and handle whose pixels are solid with a random density, the
    // rest in the mask colour.
    std::unique_ptr<sysCanvas> make(const SurfaceFormat& format) {
        auto c = makeCanvas(between(1, 90), between(1, 40), format);
        c->setMaskColour(kMask);
        const int32_t density = between(1, 60);
        c->lock();
        for (int32_t y = 0; y < c->height(); ++y) {
            for (int32_t x = 0; x < c->width(); ++x) {
                c->setPixelRaw(x, y, between(0, 99) < density ? 0xFF000000u | uint32_t(between(1, 0xFFFFFF)) : kMask);
            }
        }
        c->unlock();
        c->setHandle(between(-8, c->width() + 8), between(-8, c->height() + 8));
        return c;
    }
};

class RandomCollisions : public ::testing::TestWithParam<NamedFormat> {};

TEST_P(RandomCollisions, MatchThePerPixelReferenceAlignedAndUnaligned) {
    Shapes shapes;
    int hits = 0, misses = 0, aligned = 0;
    for (int round = 0; round < 600; ++round) {
        auto a = shapes.make(GetParam().format);
        auto b = shapes.make(GetParam().format);
        const int32_t ax = shapes.between(-50, 50), ay = shapes.between(-50, 50);
        const int64_t leftA = int64_t(ax) - a->handleX();
        int64_t leftB = leftA + shapes.between(-b->width() - 2, a->width() + 2);
        if (round % 2 == 0) {
            // Left edges a multiple of 32 apart, still overlapping when possible.
            const int32_t k = shapes.between(-(b->width() - 1) / 32, (a->width() - 1) / 32);
            leftB = leftA + 32 * k;
            ++aligned;
        }
        const int32_t bx = int32_t(leftB + b->handleX());
        const int32_t by = ay - a->handleY() + b->handleY() + shapes.between(-b->height() - 2, a->height() + 2);
        const bool expected = referenceCollide(*a, ax, ay, *b, bx, by);
        ASSERT_EQ(framesCollide(*a, ax, ay, *b, bx, by), expected) << "round " << round;
        ASSERT_EQ(framesCollide(*b, bx, by, *a, ax, ay), expected) << "round " << round << " swapped";
        (expected ? hits : misses)++;
        // The masks follow drawing: a block of solid colour or of the mask colour.
        a->setColour(round % 3 == 0 ? kMask : 0xFFFFFF);
        a->rect(shapes.between(0, a->width()), shapes.between(0, a->height()), 20, 10, true);
        ASSERT_EQ(framesCollide(*a, ax, ay, *b, bx, by), referenceCollide(*a, ax, ay, *b, bx, by))
            << "round " << round << " after drawing";
    }
    EXPECT_GT(hits, 100);
    EXPECT_GT(misses, 100);
    EXPECT_EQ(aligned, 300);
}

TEST_P(RandomCollisions, RectangleTestsMatchTheReference) {
    Shapes shapes;
    int hits = 0, misses = 0;
    for (int round = 0; round < 600; ++round) {
        auto f = shapes.make(GetParam().format);
        const int32_t x = shapes.between(-20, 20), y = shapes.between(-20, 20);
        const int32_t left = x - f->handleX(), top = y - f->handleY();
        const int32_t rx = left + shapes.between(-40, f->width() + 2);
        const int32_t ry = top + shapes.between(-20, f->height() + 2);
        const int32_t rw = shapes.between(-2, 70), rh = shapes.between(-2, 30);
        const bool boxes = rx < left + f->width() && left < rx + rw && ry < top + f->height() && top < ry + rh;
        ASSERT_EQ(frameRectOverlap(*f, x, y, rx, ry, rw, rh), boxes) << "round " << round;
        const bool expected = referenceRectCollide(*f, x, y, rx, ry, rw, rh);
        ASSERT_EQ(frameRectCollide(*f, x, y, rx, ry, rw, rh), expected) << "round " << round;
        (expected ? hits : misses)++;
    }
    EXPECT_GT(hits, 100);
    EXPECT_GT(misses, 100);
}

INSTANTIATE_TEST_SUITE_P(Formats, RandomCollisions, ::testing::ValuesIn(allFormats()),
                         [](const auto& info) { return std::string("f") + info.param.name; });

// Two 40 x 8 frames: A solid only in its left half, B solid only in its right half.
struct HalfFrames : ::testing::Test {
    std::unique_ptr<sysCanvas> a = makeCanvas(40, 8, SurfaceFormat::xrgb8888());
    std::unique_ptr<sysCanvas> b = makeCanvas(40, 8, SurfaceFormat::xrgb8888());
    void SetUp() override {
        a->setColour(0xFF0000);
        a->rect(0, 0, 20, 8, true);
        b->setColour(0x00FF00);
        b->rect(20, 0, 20, 8, true);
    }
};

TEST_F(HalfFrames, BoxesOverlappingOnlyOverMaskPixelsOverlapButDoNotCollide) {
    // A is solid on columns 0..19; B placed at x is solid on x + 20 .. x + 39.
    EXPECT_TRUE(framesOverlap(*a, 0, 0, *b, 0, 0));
    EXPECT_FALSE(framesCollide(*a, 0, 0, *b, 0, 0));
    EXPECT_FALSE(framesCollide(*a, 0, 0, *b, 10, 3));
    EXPECT_TRUE(framesCollide(*a, 0, 0, *b, -1, 0));
    EXPECT_TRUE(framesCollide(*a, 0, 0, *b, -39, 7));
}

TEST_F(HalfFrames, EdgeToEdgeFramesNeitherOverlapNorCollide) {
    a->rect(0, 0, 40, 8, true);
    b->rect(0, 0, 40, 8, true);
    EXPECT_FALSE(framesOverlap(*a, 0, 0, *b, 40, 0));
    EXPECT_FALSE(framesCollide(*a, 0, 0, *b, 40, 0));
    EXPECT_FALSE(framesOverlap(*a, 0, 0, *b, 0, 8));
    EXPECT_FALSE(framesCollide(*a, 0, 0, *b, 0, -8));
    EXPECT_TRUE(framesCollide(*a, 0, 0, *b, 39, 7));
    EXPECT_FALSE(frameRectOverlap(*a, 0, 0, 40, 0, 5, 5));
    EXPECT_FALSE(frameRectCollide(*a, 0, 0, -5, 0, 5, 5));
    EXPECT_TRUE(frameRectCollide(*a, 0, 0, 39, 7, 5, 5));
}

TEST_F(HalfFrames, HandlesMoveTheFramesBack) {
    a->setHandle(20, 4);  // A at (20, 4) occupies (0, 0) onward
    EXPECT_TRUE(framesCollide(*a, 20, 4, *b, -19, 0));
    EXPECT_FALSE(framesCollide(*a, 0, 0, *b, -19, 0));
    EXPECT_TRUE(frameRectCollide(*a, 20, 4, 19, 7, 1, 1));
    EXPECT_FALSE(frameRectCollide(*a, 20, 4, 20, 0, 100, 100));
}

TEST(CollisionPlacement, FarPlacementsDoNotWrapRound) {
    // A at INT32_MAX with handle INT32_MIN starts at 2^32 - 1, which 32 bits would wrap to -1.
    auto a = makeCanvas(8, 8, SurfaceFormat::xrgb8888());
    auto b = makeCanvas(8, 8, SurfaceFormat::xrgb8888());
    for (sysCanvas* c : {a.get(), b.get()}) {
        c->setColour(0xFFFFFF);
        c->rect(0, 0, 8, 8, true);
    }
    a->setHandle(INT32_MIN, 0);
    EXPECT_FALSE(framesOverlap(*a, INT32_MAX, 0, *b, -1, 0));
    EXPECT_FALSE(framesCollide(*a, INT32_MAX, 0, *b, -1, 0));
    EXPECT_FALSE(frameRectOverlap(*a, INT32_MAX, 0, -1, 0, 2, 2));
    EXPECT_FALSE(frameRectCollide(*a, INT32_MAX, 0, -1, 0, 2, 2));
    EXPECT_TRUE(framesCollide(*a, INT32_MAX, 0, *a, INT32_MAX - 7, 7));
}

TEST(CollisionPlacement, RectanglesOverlapOnlyWithAreaInCommon) {
    EXPECT_TRUE(rectsOverlap(0, 0, 10, 10, 9, 9, 10, 10));
    EXPECT_FALSE(rectsOverlap(0, 0, 10, 10, 10, 0, 10, 10));
    EXPECT_FALSE(rectsOverlap(0, 0, 0, 10, 0, 0, 10, 10));
    EXPECT_FALSE(rectsOverlap(0, 0, -5, 10, -3, 0, 10, 10));
}

}  // namespace
