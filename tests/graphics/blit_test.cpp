// Canvas blits: destination and source clipping without shifting the picture, masked and
// solid copies, handles and origins, and blits of a canvas onto itself in every direction.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "canvas_test_support.h"

namespace {

class Blit : public ::testing::TestWithParam<NamedFormat> {
protected:
    // A canvas whose pixel (x, y) holds a value unique to the position (never 0).
    std::unique_ptr<sysCanvas> numbered(int w, int h) {
        auto c = makeCanvas(w, h, GetParam().format);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                storeNative(*c, x, y, label(x, y));
            }
        }
        return c;
    }
    static uint32_t label(int x, int y) { return uint32_t(1 + x + 40 * y); }
};

TEST_P(Blit, FullyMaskedFrameChangesNothingButCounts) {
    auto dst = numbered(16, 16);
    auto frame = makeCanvas(8, 8, GetParam().format);  // all black, the default mask colour
    const auto before = snapshot(*dst);
    const uint32_t count = dst->modificationCounter();
    dst->blit(3, 3, *frame, 0, 0, 8, 8, false);
    EXPECT_EQ(snapshot(*dst), before);
    EXPECT_EQ(dst->modificationCounter(), count + 1);
    dst->blit(3, 3, *frame, 0, 0, 8, 8, true);
    EXPECT_EQ(nativeAt(*dst, 3, 3), 0u) << "a solid blit copies the black";
}

TEST_P(Blit, PartlyClippedBlitDoesNotShiftThePicture) {
    auto src = numbered(10, 6);
    auto dst = makeCanvas(20, 10, GetParam().format);
    dst->setViewport(4, 2, 10, 6);
    dst->blit(1, 1, *src, 0, 0, 10, 6, true);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 20; ++x) {
            const bool visible = x >= 4 && x < 11 && y >= 2 && y < 7;
            const uint32_t want = visible ? label(x - 1, y - 1) : 0;
            ASSERT_EQ(nativeAt(*dst, x, y), want) << x << "," << y;
        }
    }
}

TEST_P(Blit, SourceIsClippedToItsSurfaceAndMovesTheDestination) {
    auto src = numbered(6, 6);
    auto dst = makeCanvas(12, 12, GetParam().format);
    const uint32_t count = dst->modificationCounter();
    dst->blit(2, 2, *src, -2, 3, 5, 5, true);  // columns -2..2 and rows 3..7 of a 6 x 6 source
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 12; ++x) {
            const bool copied = x >= 4 && x < 7 && y >= 2 && y < 5;
            ASSERT_EQ(nativeAt(*dst, x, y), copied ? label(x - 4, y + 1) : 0u) << x << "," << y;
        }
    }
    EXPECT_EQ(dst->modificationCounter(), count + 1);
    dst->blit(0, 0, *src, 6, 0, 4, 4, true);  // source rectangle wholly off the source
    dst->blit(0, 0, *src, 0, 0, 0, 4, true);
    EXPECT_EQ(dst->modificationCounter(), count + 1);
}

TEST_P(Blit, RectanglesEndingExactlyAtAnEdgeDrawAndCountNothing) {
    auto src = numbered(6, 6);
    auto dst = numbered(12, 12);
    dst->setViewport(2, 3, 6, 5);  // columns 2..7, rows 3..7
    const auto before = snapshot(*dst);
    const struct {
        int dx, dy, sx, sy, w, h;
        const char* edge;
    } touching[] = {
        {4, 4, -4, 0, 4, 4, "ends at the source's left edge"},
        {4, 4, 6, 0, 4, 4, "starts at the source's right edge"},
        {4, 4, 0, -4, 4, 4, "ends at the source's top edge"},
        {4, 4, 0, 6, 4, 4, "starts at the source's bottom edge"},
        {-2, 4, 0, 0, 4, 4, "ends at the viewport's left edge"},
        {8, 4, 0, 0, 4, 4, "starts at the viewport's right edge"},
        {4, -1, 0, 0, 4, 4, "ends at the viewport's top edge"},
        {4, 8, 0, 0, 4, 4, "starts at the viewport's bottom edge"},
    };
    for (const auto& t : touching) {
        const uint32_t count = dst->modificationCounter();
        dst->blit(t.dx, t.dy, *src, t.sx, t.sy, t.w, t.h, true);
        EXPECT_EQ(dst->modificationCounter(), count) << t.edge;
    }
    EXPECT_EQ(snapshot(*dst), before);
}

TEST_P(Blit, OriginAddsAndSourceHandleSubtracts) {
    auto src = numbered(4, 4);
    src->setOrigin(9, 9);  // the source's origin and viewport play no part
    src->setViewport(0, 0, 1, 1);
    src->setHandle(2, 1);
    auto dst = makeCanvas(12, 12, GetParam().format);
    dst->setOrigin(3, 5);
    dst->blit(0, 0, *src, 0, 0, 4, 4, true);
    EXPECT_EQ(nativeAt(*dst, 1, 4), label(0, 0));
    EXPECT_EQ(nativeAt(*dst, 4, 7), label(3, 3));
}

TEST_P(Blit, MaskedBlitSkipsOnlyTheMaskColour) {
    auto src = numbered(5, 1);
    src->setMaskColour(src->pixelFormat().toArgb(label(2, 0)));
    auto dst = makeCanvas(5, 1, GetParam().format);
    dst->setClsColour(0x808080);
    dst->clear();
    const uint32_t bg = dst->nativeClsColour();
    dst->blit(0, 0, *src, 0, 0, 5, 1, false);
    EXPECT_EQ(snapshot(*dst), (std::vector<uint32_t>{label(0, 0), label(1, 0), bg, label(3, 0), label(4, 0)}));
}

// Expected result of blitting (sx, sy, w, h) of the picture onto itself at (dx, dy):
// every destination pixel takes the source pixel as it was before the blit.
std::vector<uint32_t> expectedSelfBlit(const std::vector<uint32_t>& before, int size, int dx, int dy, int sx, int sy,
                                       int w, int h, bool solid, uint32_t key) {
    std::vector<uint32_t> after = before;
    for (int v = 0; v < h; ++v) {
        for (int u = 0; u < w; ++u) {
            const uint32_t p = before[size_t((sy + v) * size + sx + u)];
            if (solid || p != key) {
                after[size_t((dy + v) * size + dx + u)] = p;
            }
        }
    }
    return after;
}

TEST_P(Blit, OverlappingSelfBlitsInEveryDirection) {
    const int size = 24;
    const int moves[][2] = {{3, 0}, {-3, 0}, {0, 3}, {0, -3}, {2, 5}, {-5, -2}, {1, -1}, {-1, 1}};
    for (bool solid : {true, false}) {
        for (const auto& m : moves) {
            auto c = numbered(size, size);
            // Every third pixel is the mask colour, so masked copies leave holes.
            for (int y = 0; y < size; ++y) {
                for (int x = 0; x < size; ++x) {
                    if ((x + y) % 3 == 0) {
                        storeNative(*c, x, y, 0);
                    }
                }
            }
            const auto before = snapshot(*c);
            c->blit(6 + m[0], 6 + m[1], *c, 6, 6, 12, 12, solid);
            EXPECT_EQ(snapshot(*c), expectedSelfBlit(before, size, 6 + m[0], 6 + m[1], 6, 6, 12, 12, solid, 0))
                << "move " << m[0] << "," << m[1] << (solid ? " solid" : " masked");
        }
    }
}

TEST_P(Blit, CanvasesSharingASurfaceBlitAsOne) {
    std::shared_ptr<Surface> shared = Surface::create(16, 16, GetParam().format, SurfaceMemory::System);
    sysCanvas front(shared, 0, nullptr, nullptr);
    sysCanvas back(shared, 0, nullptr, nullptr);
    for (int x = 0; x < 16; ++x) {
        storeNative(back, x, 0, label(x, 0));
    }
    const auto before = snapshot(back);
    front.blit(2, 0, back, 0, 0, 14, 1, true);
    EXPECT_EQ(snapshot(front), expectedSelfBlit(before, 16, 2, 0, 0, 0, 14, 1, true, 0));
}

TEST_P(Blit, BetweenFormatsConvertsTheColours) {
    auto src = makeCanvas(2, 1, SurfaceFormat::rgb888());
    src->setPixel(0, 0, 0xFF8040);
    src->setPixel(1, 0, 0x000000);
    auto dst = makeCanvas(2, 1, GetParam().format);
    dst->setClsColour(0x0000FF);
    dst->clear();
    dst->blit(0, 0, *src, 0, 0, 2, 1, false);
    // 0xFF8040 and 0x0000FF as native pixels, worked by hand: 5-6-5 keeps the top bits
    // 11111, 100000, 01000 (0xFC08); 5-5-5 keeps 11111, 10000, 01000 (0x7E08); blue alone
    // is 11111 (0x1F) in both.
    const std::map<std::string, std::pair<uint32_t, uint32_t>> natives = {
        {"565", {0xFC08, 0x001F}},
        {"555", {0x7E08, 0x001F}},
        {"888", {0xFF8040, 0x0000FF}},
        {"8888", {0xFF8040, 0x0000FF}},
    };
    const auto& [orange, blue] = natives.at(GetParam().name);
    EXPECT_EQ(nativeAt(*dst, 0, 0), orange);
    EXPECT_EQ(nativeAt(*dst, 1, 0), blue) << "the source's mask colour is skipped";
}

INSTANTIATE_TEST_SUITE_P(AllFormats, Blit, ::testing::ValuesIn(allFormats()),
                         [](const auto& info) { return std::string("Depth") + info.param.name; });

}  // namespace
