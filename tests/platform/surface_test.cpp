// Software surfaces: creation limits, the nested lock, fills, solid, keyed, converting
// and stretched copies, and copies of a surface onto itself with every kind of overlap,
// each with the SSE2 paths on and off.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "platform/surface.h"

namespace {

uint32_t pixel(const Surface& s, int x, int y) {
    uint32_t v = 0;
    std::memcpy(&v, s.pixels() + y * s.pitch() + x * s.format().bytesPerPixel(), size_t(s.format().bytesPerPixel()));
    return v;
}

void put(Surface& s, int x, int y, uint32_t v) {
    std::memcpy(s.pixels() + y * s.pitch() + x * s.format().bytesPerPixel(), &v, size_t(s.format().bytesPerPixel()));
}

std::vector<uint32_t> all(const Surface& s) {
    std::vector<uint32_t> v;
    for (int y = 0; y < s.height(); ++y) {
        for (int x = 0; x < s.width(); ++x) {
            v.push_back(pixel(s, x, y));
        }
    }
    return v;
}

const SurfaceFormat formats[] = {SurfaceFormat::rgb565(), SurfaceFormat::rgb555(), SurfaceFormat::rgb888(),
                                 SurfaceFormat::xrgb8888()};

class SurfaceTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { Surface::setSimdEnabled(GetParam()); }
    void TearDown() override { Surface::setSimdEnabled(true); }
};

TEST(Surface, CreationRejectsBadSizesAndFormats) {
    EXPECT_FALSE(Surface::create(0, 5, SurfaceFormat::rgb565(), SurfaceMemory::System));
    EXPECT_FALSE(Surface::create(5, -1, SurfaceFormat::rgb565(), SurfaceMemory::System));
    EXPECT_FALSE(Surface::create(100000, 100000, SurfaceFormat::xrgb8888(), SurfaceMemory::System));
    EXPECT_FALSE(Surface::create(4, 4, {8, 0, 0xE0, 0x1C, 0x03}, SurfaceMemory::System));
    EXPECT_FALSE(Surface::create(4, 4, {16, 0, 0xF800, 0x0FE0, 0x001F}, SurfaceMemory::System)) << "overlap";
    EXPECT_FALSE(Surface::create(4, 4, {32, 0, 0x3FF00000, 0xFFC00, 0x3FF}, SurfaceMemory::System)) << "10 bits";
    auto s = Surface::create(7, 3, SurfaceFormat::rgb888(), SurfaceMemory::System);
    ASSERT_TRUE(s);
    EXPECT_GE(s->pitch(), 21);
    EXPECT_EQ(s->pitch() % 16, 0);
    for (uint32_t v : all(*s)) {
        EXPECT_EQ(v, 0u);
    }
}

TEST(Surface, VideoMemoryIsABudget) {
    const int64_t before = Surface::videoMemoryFree();
    {
        auto v = Surface::create(64, 64, SurfaceFormat::xrgb8888(), SurfaceMemory::Video);
        ASSERT_TRUE(v);
        EXPECT_EQ(v->memory(), SurfaceMemory::Video);
        EXPECT_EQ(Surface::videoMemoryFree(), before - 64 * 64 * 4);
        auto sys = Surface::create(64, 64, SurfaceFormat::xrgb8888(), SurfaceMemory::System);
        EXPECT_EQ(Surface::videoMemoryFree(), before - 64 * 64 * 4);
    }
    EXPECT_EQ(Surface::videoMemoryFree(), before);
    EXPECT_FALSE(Surface::create(16384, 8192, SurfaceFormat::xrgb8888(), SurfaceMemory::Video)) << "512 MiB";
    EXPECT_LE(Surface::videoMemoryFree(), Surface::videoMemoryTotal());
}

TEST(Surface, LocksNestAndAFailedLockTakesNoLevel) {
    auto s = Surface::create(4, 4, SurfaceFormat::rgb565(), SurfaceMemory::System);
    uint8_t* base = nullptr;
    int32_t pitch = 0;
    ASSERT_TRUE(s->lock(&base, &pitch));
    EXPECT_EQ(base, s->pixels());
    EXPECT_EQ(pitch, s->pitch());
    ASSERT_TRUE(s->lock(&base, &pitch));
    EXPECT_EQ(s->lockCount(), 2);
    s->unlock();
    s->unlock();
    s->unlock();
    EXPECT_EQ(s->lockCount(), 0);
    Surface::failNextLockForTesting();
    EXPECT_FALSE(s->lock(&base, &pitch));
    EXPECT_EQ(s->lockCount(), 0);
    EXPECT_TRUE(s->lock(&base, &pitch));
    s->unlock();
}

TEST_P(SurfaceTest, FillCoversExactlyTheRectangle) {
    for (const SurfaceFormat& f : formats) {
        // Widths around the vector sizes and alignments.
        for (int w : {1, 3, 7, 8, 9, 17, 33, 70}) {
            auto s = Surface::create(80, 4, f, SurfaceMemory::System);
            const uint32_t value = f.depth == 32 ? 0xAB123456 : f.depth == 24 ? 0x123456 : 0x9876;
            ASSERT_TRUE(s->fill({5, 1, 5 + w, 3}, value));
            for (int y = 0; y < 4; ++y) {
                for (int x = 0; x < 80; ++x) {
                    const bool in = x >= 5 && x < 5 + w && y >= 1 && y < 3;
                    ASSERT_EQ(pixel(*s, x, y), in ? value : 0u) << f.depth << " w " << w << " at " << x << "," << y;
                }
            }
        }
        auto s = Surface::create(8, 8, f, SurfaceMemory::System);
        EXPECT_FALSE(s->fill({-1, 0, 3, 3}, 1));
        EXPECT_FALSE(s->fill({0, 0, 9, 3}, 1));
        EXPECT_FALSE(s->fill({2, 2, 2, 3}, 1));
        for (uint32_t v : all(*s)) {
            ASSERT_EQ(v, 0u);
        }
    }
}

TEST_P(SurfaceTest, KeyedCopyComparesOnlyTheUsedBits) {
    for (const SurfaceFormat& f : formats) {
        auto src = Surface::create(37, 2, f, SurfaceMemory::System);
        auto dst = Surface::create(37, 2, f, SurfaceMemory::System);
        const uint32_t padding = f.depth == 32 ? 0xFF000000 : f == SurfaceFormat::rgb555() ? 0x8000 : 0;
        for (int x = 0; x < 37; ++x) {
            put(*src, x, 0, x % 2 ? 0x15 : (0x15 | padding));  // the key, padding or not
            put(*src, x, 1, uint32_t(x + 1));
            put(*dst, x, 0, 0x3);
            put(*dst, x, 1, 0x3);
        }
        ASSERT_TRUE(dst->copy({0, 0, 37, 2}, *src, {0, 0, 37, 2}, true, 0x15));
        for (int x = 0; x < 37; ++x) {
            ASSERT_EQ(pixel(*dst, x, 0), 0x3u) << f.depth << " " << x;
            ASSERT_EQ(pixel(*dst, x, 1), x + 1 == 0x15 ? 0x3u : uint32_t(x + 1)) << f.depth << " " << x;
        }
    }
}

TEST_P(SurfaceTest, CopyRejectsRectanglesOutsideOrOfDifferentSizes) {
    auto a = Surface::create(8, 8, SurfaceFormat::xrgb8888(), SurfaceMemory::System);
    auto b = Surface::create(8, 8, SurfaceFormat::xrgb8888(), SurfaceMemory::System);
    EXPECT_FALSE(a->copy({0, 0, 4, 4}, *b, {0, 0, 4, 5}));
    EXPECT_FALSE(a->copy({0, 0, 4, 4}, *b, {5, 0, 9, 4}));
    EXPECT_FALSE(a->copy({-1, 0, 3, 4}, *b, {0, 0, 4, 4}));
    EXPECT_FALSE(a->copy({0, 0, 0, 4}, *b, {0, 0, 0, 4}));
    // Extents whose width or height overflows 32 bits are refused before they are measured.
    constexpr int32_t lo = INT32_MIN;
    constexpr int32_t hi = INT32_MAX;
    EXPECT_FALSE(a->copy({0, 0, 4, 4}, *b, {lo, 0, hi, 4}));
    EXPECT_FALSE(a->copy({0, 0, 4, 4}, *b, {0, lo, 4, hi}));
    EXPECT_FALSE(a->copy({lo, lo, hi, hi}, *b, {lo, lo, hi, hi}));
}

// Every overlap of a surface with itself: sideways, up, down and diagonal, solid and keyed.
TEST_P(SurfaceTest, SelfCopiesHandleEveryOverlap) {
    const int moves[][2] = {{1, 0}, {-1, 0}, {5, 0}, {-5, 0}, {0, 1}, {0, -1}, {3, 4}, {-4, 3}, {4, -3}, {-3, -4}};
    for (const SurfaceFormat& f : formats) {
        for (bool keyed : {false, true}) {
            for (const auto& m : moves) {
                auto s = Surface::create(40, 20, f, SurfaceMemory::System);
                for (int y = 0; y < 20; ++y) {
                    for (int x = 0; x < 40; ++x) {
                        put(*s, x, y, (x * 7 + y * 3) % 5 == 0 ? 0 : uint32_t(1 + x + 40 * y));
                    }
                }
                const auto before = all(*s);
                const SurfaceRect from{8, 6, 30, 14};
                const SurfaceRect to{8 + m[0], 6 + m[1], 30 + m[0], 14 + m[1]};
                ASSERT_TRUE(s->copy(to, *s, from, keyed, 0));
                auto want = before;
                for (int y = 0; y < from.height(); ++y) {
                    for (int x = 0; x < from.width(); ++x) {
                        const uint32_t p = before[size_t((from.top + y) * 40 + from.left + x)];
                        if (!keyed || p != 0) {
                            want[size_t((to.top + y) * 40 + to.left + x)] = p;
                        }
                    }
                }
                ASSERT_EQ(all(*s), want) << f.depth << (keyed ? " keyed " : " solid ") << m[0] << "," << m[1];
            }
        }
    }
}

TEST_P(SurfaceTest, CopiesBetweenFormatsConvertThroughTheChannels) {
    auto src = Surface::create(3, 1, SurfaceFormat::xrgb8888(), SurfaceMemory::System);
    auto dst = Surface::create(3, 1, SurfaceFormat::rgb565(), SurfaceMemory::System);
    put(*src, 0, 0, 0xFFFFFF);
    put(*src, 1, 0, 0x0804FF);
    put(*src, 2, 0, 0x123456);
    put(*dst, 2, 0, 0xAAAA);
    ASSERT_TRUE(dst->copy(dst->rect(), *src, src->rect(), true, 0x123456));
    EXPECT_EQ(pixel(*dst, 0, 0), 0xFFFFu);
    EXPECT_EQ(pixel(*dst, 1, 0), (1u << 11) | (1u << 5) | 0x1F);
    EXPECT_EQ(pixel(*dst, 2, 0), 0xAAAAu) << "keyed on the source's native value";
    auto back = Surface::create(3, 1, SurfaceFormat::rgb888(), SurfaceMemory::System);
    ASSERT_TRUE(back->copy(back->rect(), *dst, dst->rect()));
    EXPECT_EQ(pixel(*back, 0, 0), 0xF8FCF8u) << "no bit replication";
}

TEST_P(SurfaceTest, StretchedCopySamplesThePixelUnderEachCentre) {
    for (const SurfaceFormat& f : formats) {
        auto src = Surface::create(2, 2, f, SurfaceMemory::System);
        put(*src, 0, 0, 1);
        put(*src, 1, 0, 2);
        put(*src, 0, 1, 3);
        put(*src, 1, 1, 4);
        auto dst = Surface::create(5, 4, f, SurfaceMemory::System);
        ASSERT_TRUE(dst->stretchCopy({0, 0, 4, 4}, *src, src->rect()));
        EXPECT_EQ(all(*dst), (std::vector<uint32_t>{1, 1, 2, 2, 0, 1, 1, 2, 2, 0, 3, 3, 4, 4, 0, 3, 3, 4, 4, 0}));
        auto small = Surface::create(2, 1, f, SurfaceMemory::System);
        ASSERT_TRUE(small->stretchCopy(small->rect(), *dst, {0, 0, 4, 4}));
        EXPECT_EQ(all(*small), (std::vector<uint32_t>{3, 4}));
        // Onto itself, scaled up over its own source, keyed on 2.
        ASSERT_TRUE(dst->stretchCopy({0, 0, 5, 4}, *dst, {1, 0, 3, 2}, true, 2));
        EXPECT_EQ(all(*dst), (std::vector<uint32_t>{1, 1, 2, 2, 0, 1, 1, 2, 2, 0, 1, 1, 4, 4, 0, 1, 1, 4, 4, 0}));
    }
}

// A stretch onto a destination reaching past the edges draws the part inside exactly as
// the same stretch would on a surface large enough to hold it all.
TEST_P(SurfaceTest, ClippedStretchDrawsTheVisiblePartOfTheWholeStretch) {
    for (const SurfaceFormat& f : formats) {
        auto src = Surface::create(3, 2, f, SurfaceMemory::System);
        for (int i = 0; i < 6; ++i) {
            put(*src, i % 3, i / 3, uint32_t(i + 1));
        }
        struct Place { int64_t left, top, right, bottom; };
        for (const Place p : {Place{-5, -3, 9, 7}, Place{2, 1, 9, 4}, Place{-1, -1, 2, 1}, Place{4, 3, 7, 5}}) {
            auto dst = Surface::create(6, 5, f, SurfaceMemory::System);
            auto whole = Surface::create(30, 30, f, SurfaceMemory::System);
            ASSERT_TRUE(whole->stretchCopy({int32_t(p.left + 10), int32_t(p.top + 10), int32_t(p.right + 10),
                                            int32_t(p.bottom + 10)}, *src, src->rect()));
            const SurfaceRect drawn = dst->stretchCopyClipped(p.left, p.top, p.right, p.bottom, *src, src->rect());
            EXPECT_EQ(drawn, intersectRects(dst->rect(), {int32_t(p.left), int32_t(p.top), int32_t(p.right),
                                                           int32_t(p.bottom)}));
            for (int y = 0; y < 5; ++y) {
                for (int x = 0; x < 6; ++x) {
                    const bool inside = x >= p.left && x < p.right && y >= p.top && y < p.bottom;
                    EXPECT_EQ(pixel(*dst, x, y), inside ? pixel(*whole, x + 10, y + 10) : 0u) << x << "," << y;
                }
            }
        }
        auto dst = Surface::create(6, 5, f, SurfaceMemory::System);
        EXPECT_TRUE(dst->stretchCopyClipped(6, 0, 20, 5, *src, src->rect()).empty());
        EXPECT_TRUE(dst->stretchCopyClipped(2147483000, 2147483000, 2147483000LL + 100000, 2147483000LL + 100000,
                                            *src, src->rect()).empty());
        EXPECT_TRUE(dst->stretchCopyClipped(0, 0, 0, 5, *src, src->rect()).empty());
        EXPECT_TRUE(dst->stretchCopyClipped(0, 0, 6, 5, *dst, dst->rect()).empty());
        EXPECT_EQ(all(*dst), std::vector<uint32_t>(30, 0u));
    }
}

TEST_P(SurfaceTest, RandomCopiesMatchAPixelModel) {
    std::mt19937 rng(99);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (const SurfaceFormat& f : formats) {
        for (int round = 0; round < 200; ++round) {
            auto a = Surface::create(pick(1, 70), pick(1, 20), f, SurfaceMemory::System);
            auto b = Surface::create(pick(1, 70), pick(1, 20), f, SurfaceMemory::System);
            for (Surface* s : {a.get(), b.get()}) {
                for (int y = 0; y < s->height(); ++y) {
                    for (int x = 0; x < s->width(); ++x) {
                        put(*s, x, y, pick(0, 3) == 0 ? 7u : uint32_t(rng()) & f.usedBits());
                    }
                }
            }
            Surface& src = pick(0, 2) == 0 ? *a : *b;
            const int w = pick(1, std::min(a->width(), src.width()));
            const int h = pick(1, std::min(a->height(), src.height()));
            const int dx = pick(0, a->width() - w), dy = pick(0, a->height() - h);
            const int sx = pick(0, src.width() - w), sy = pick(0, src.height() - h);
            const bool keyed = pick(0, 1) == 1;
            const auto before = all(*a);
            const auto source = all(src);
            ASSERT_TRUE(a->copy({dx, dy, dx + w, dy + h}, src, {sx, sy, sx + w, sy + h}, keyed, 7));
            auto want = before;
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < w; ++x) {
                    const uint32_t p = source[size_t((sy + y) * src.width() + sx + x)];
                    if (!keyed || p != 7) {
                        want[size_t((dy + y) * a->width() + dx + x)] = p;
                    }
                }
            }
            ASSERT_EQ(all(*a), want) << f.depth << " round " << round;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, SurfaceTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Sse2" : "Portable"; });

}  // namespace
