// The fast fill and blit paths against a slow per-pixel model, on random rectangles,
// formats, origins, handles and viewports, with the SSE2 paths on and off. The collision
// mask is checked against the pixels after every operation.
#include <gtest/gtest.h>

#include <random>

#include "canvas_test_support.h"

namespace {

struct Picture {
    int w, h;
    std::vector<uint32_t> px;
    uint32_t& at(int x, int y) { return px[size_t(y * w + x)]; }
};

Picture capture(const sysCanvas& c) { return {c.width(), c.height(), snapshot(c)}; }

bool inside(const SurfaceRect& r, int64_t x, int64_t y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

// Model of a blit: every viewport pixel of the destination that maps into the blit
// rectangle and onto the source surface takes that source pixel, unless masked and equal
// to the key on the colour-carrying bits. Returns whether any pixel was in reach.
bool modelBlit(Picture& dst, const SurfaceRect& viewport, int64_t left, int64_t top, const Picture& src, int64_t sx,
               int64_t sy, int64_t w, int64_t h, bool solid, uint32_t key, uint32_t used) {
    bool reached = false;
    for (int y = viewport.top; y < viewport.bottom; ++y) {
        for (int x = viewport.left; x < viewport.right; ++x) {
            const int64_t u = x - left;
            const int64_t v = y - top;
            if (u < 0 || u >= w || v < 0 || v >= h || !inside({0, 0, src.w, src.h}, sx + u, sy + v)) {
                continue;
            }
            reached = true;
            const uint32_t p = src.px[size_t((sy + v) * src.w + sx + u)];
            if (solid || (p & used) != (key & used)) {
                dst.at(x, y) = p;
            }
        }
    }
    return reached;
}

bool modelFill(Picture& dst, const SurfaceRect& viewport, int64_t left, int64_t top, int64_t w, int64_t h,
               uint32_t value) {
    bool reached = false;
    for (int y = viewport.top; y < viewport.bottom; ++y) {
        for (int x = viewport.left; x < viewport.right; ++x) {
            if (x >= left && x < left + w && y >= top && y < top + h) {
                dst.at(x, y) = value;
                reached = true;
            }
        }
    }
    return reached;
}

void checkMask(sysCanvas& c) {
    if (!c.hasCollisionMask()) {
        return;
    }
    const uint32_t* m = c.collisionMask();
    const uint32_t bits = c.pixelFormat().colourBits();
    for (int y = 0; y < c.height(); ++y) {
        for (int x = 0; x < c.width(); ++x) {
            const bool solid = (nativeAt(c, x, y) & bits) != (c.nativeMaskColour() & bits);
            const bool got = (m[y * c.maskWordsPerRow() + x / 32] >> (31 - x % 32)) & 1;
            ASSERT_EQ(got, solid) << "mask bit " << x << "," << y;
        }
    }
}

class Reference : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { Surface::setSimdEnabled(GetParam()); }
    void TearDown() override { Surface::setSimdEnabled(true); }
};

TEST_P(Reference, FillsAndBlitsMatchThePerPixelModel) {
    std::mt19937 rng(1234);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (const NamedFormat& nf : allFormats()) {
        const uint32_t used = nf.format.usedBits();
        for (int round = 0; round < 250; ++round) {
            auto dst = makeCanvas(pick(1, 80), pick(1, 40), nf.format);
            auto other = makeCanvas(pick(1, 80), pick(1, 40), nf.format);
            // A small palette (with the padding bits sometimes set) makes key matches common.
            const uint32_t palette[] = {0, 0x1F, 0x7E0, 0x123456 & used, 0x00FF00FF & used, 0xFFFFFFFF};
            for (sysCanvas* c : {dst.get(), other.get()}) {
                for (int y = 0; y < c->height(); ++y) {
                    for (int x = 0; x < c->width(); ++x) {
                        storeNative(*c, x, y, palette[pick(0, 5)]);
                    }
                }
            }
            if (pick(0, 3) == 0) {
                dst->setViewport(pick(-10, 60), pick(-10, 30), pick(-5, 90), pick(-5, 50));
            }
            dst->setOrigin(pick(-20, 20), pick(-20, 20));
            const bool self = pick(0, 3) == 0;
            sysCanvas& src = self ? *dst : *other;
            src.setHandle(pick(-10, 10), pick(-10, 10));
            src.setMaskColour(src.pixelFormat().toArgb(palette[pick(0, 5)]));
            if (pick(0, 2) == 0) {
                dst->collisionMask();
                checkMask(*dst);
            }
            const int op = pick(0, 2);
            const int x = pick(-30, 90), y = pick(-30, 50), w = pick(-2, 90), h = pick(-2, 50);
            const int sx = pick(-20, 80), sy = pick(-20, 40);
            Picture want = capture(*dst);
            const Picture source = capture(src);
            const uint32_t count = dst->modificationCounter();
            bool reached = false;
            if (op == 0) {
                dst->setColour(rng());
                dst->rect(x, y, w, h, true);
                reached = w > 0 && h > 0 &&
                          modelFill(want, dst->viewport(), int64_t(x) + dst->originX(), int64_t(y) + dst->originY(),
                                    w, h, dst->nativeColour());
            } else {
                const bool solid = op == 1;
                dst->blit(x, y, src, sx, sy, w, h, solid);
                reached = modelBlit(want, dst->viewport(), int64_t(x) + dst->originX() - src.handleX(),
                                    int64_t(y) + dst->originY() - src.handleY(), source, sx, sy, w, h, solid,
                                    src.nativeMaskColour(), used);
            }
            ASSERT_EQ(snapshot(*dst), want.px) << nf.name << " round " << round << " op " << op;
            ASSERT_EQ(dst->modificationCounter(), count + (reached ? 1 : 0)) << nf.name << " round " << round;
            checkMask(*dst);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, Reference, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Sse2" : "Portable"; });

}  // namespace
