// The frame transform against a reference of its sampling written pixel by pixel through
// the canvas's clipped reads: random frames, handles and matrices, bilinear and nearest;
// the exact cases (identity, quarter turn, doubling) and the results it refuses to make.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "graphics/frame_transform.h"
#include "graphics/graphics_state.h"
#include "tests/graphics/canvas_test_support.h"

namespace {

struct Picture {
    int32_t width = 0, height = 0, handleX = 0, handleY = 0;
    std::vector<uint32_t> argb;  // as the result's format stores it
};

uint32_t bilinearReference(sysCanvas& s, float sx, float sy) {
    const float x = sx - 0.5f, y = sy - 0.5f;
    const int32_t ix = int32_t(std::floor(x)), iy = int32_t(std::floor(y));
    const float fx = x - float(ix), fy = y - float(iy);
    const uint32_t p00 = s.getPixel(ix, iy), p10 = s.getPixel(ix + 1, iy);
    const uint32_t p11 = s.getPixel(ix + 1, iy + 1), p01 = s.getPixel(ix, iy + 1);
    uint32_t result = 0;
    for (int shift : {16, 8, 0}) {
        auto channel = [&](uint32_t p) { return float((p >> shift) & 255); };
        const float value = channel(p00) * (1 - fx) * (1 - fy) + channel(p10) * fx * (1 - fy) +
                            channel(p11) * fx * fy + channel(p01) * (1 - fx) * fy + 0.5f;
        result |= uint32_t(value) << shift;
    }
    return result;
}

// The transform as described: the inverse, the corners' bounds, then every destination
// pixel centre mapped back and sampled.
Picture reference(sysCanvas& s, float a, float b, float c, float d, bool filter) {
    const float det = a * d - c * b;
    const float ia = d / det, ic = -c / det, ib = -b / det, id = a / det;
    const float hx = float(s.handleX()), hy = float(s.handleY());
    const float w = float(s.width()), h = float(s.height());
    const float cu[4] = {-hx, w - hx, w - hx, -hx}, cv[4] = {-hy, -hy, h - hy, h - hy};
    float x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
    for (int k = 0; k < 4; ++k) {
        x0 = std::min(x0, a * cu[k] + c * cv[k]);
        x1 = std::max(x1, a * cu[k] + c * cv[k]);
        y0 = std::min(y0, b * cu[k] + d * cv[k]);
        y1 = std::max(y1, b * cu[k] + d * cv[k]);
    }
    const float minX = std::floor(x0), minY = std::floor(y0);
    Picture p{int32_t(std::ceil(x1) - minX), int32_t(std::ceil(y1) - minY), -int32_t(minX), -int32_t(minY), {}};
    const PixelFormat& f = s.pixelFormat();
    for (int32_t i = 0; i < p.height; ++i) {
        for (int32_t j = 0; j < p.width; ++j) {
            const float px = minX + 0.5f + float(j), qy = minY + 0.5f + float(i);
            const float sx = ia * px + ic * qy + hx, sy = ib * px + id * qy + hy;
            const uint32_t argb = filter ? bilinearReference(s, sx, sy)
                                         : s.getPixel(int32_t(std::floor(sx)), int32_t(std::floor(sy)));
            p.argb.push_back(f.toArgb(f.toNative(argb)));
        }
    }
    return p;
}

Picture pictureOf(sysCanvas& c) {
    Picture p{c.width(), c.height(), c.handleX(), c.handleY(), {}};
    c.lock();
    for (int32_t y = 0; y < c.height(); ++y) {
        for (int32_t x = 0; x < c.width(); ++x) {
            p.argb.push_back(c.getPixelRaw(x, y));
        }
    }
    c.unlock();
    return p;
}

void expectSame(const Picture& got, const Picture& want, const std::string& what) {
    ASSERT_EQ(got.width, want.width) << what;
    ASSERT_EQ(got.height, want.height) << what;
    EXPECT_EQ(got.handleX, want.handleX) << what;
    EXPECT_EQ(got.handleY, want.handleY) << what;
    for (size_t k = 0; k < got.argb.size(); ++k) {
        ASSERT_EQ(got.argb[k], want.argb[k]) << what << " pixel " << k % size_t(got.width) << ","
                                             << k / size_t(got.width);
    }
}

class FrameTransform : public ::testing::TestWithParam<NamedFormat> {
protected:
    void TearDown() override { graphicsState.transformFilter = true; }

    std::mt19937 random{777};
    float uniform(float low, float high) { return std::uniform_real_distribution<float>(low, high)(random); }
    int32_t between(int32_t low, int32_t high) { return std::uniform_int_distribution<int32_t>(low, high)(random); }

    std::unique_ptr<sysCanvas> randomFrame() {
        auto c = makeCanvas(between(1, 20), between(1, 20), GetParam().format);
        c->setMaskColour(uint32_t(between(0, 0xFFFFFF)));
        for (int32_t y = 0; y < c->height(); ++y) {
            for (int32_t x = 0; x < c->width(); ++x) {
                c->setPixel(x, y, between(0, 3) == 0 ? c->maskColour() : uint32_t(between(0, 0xFFFFFF)));
            }
        }
        c->setHandle(between(-5, c->width() + 5), between(-5, c->height() + 5));
        return c;
    }
};

TEST_P(FrameTransform, RandomMatricesMatchTheReferenceWithAndWithoutFilter) {
    for (int round = 0; round < 120; ++round) {
        auto source = randomFrame();
        float a, b, c, d;
        switch (round % 3) {
        case 0: {
            const float t = -uniform(-360, 360) * 0.017453292f;
            a = std::cos(t), b = -std::sin(t), c = std::sin(t), d = std::cos(t);
            break;
        }
        case 1: a = uniform(0.2f, 3), b = 0, c = 0, d = uniform(-3, 3); break;
        default:
            do {
                a = uniform(-2, 2), b = uniform(-2, 2), c = uniform(-2, 2), d = uniform(-2, 2);
            } while (std::fabs(a * d - c * b) < 0.2f);
        }
        for (bool filter : {true, false}) {
            graphicsState.transformFilter = filter;
            const Picture before = pictureOf(*source);
            std::unique_ptr<sysCanvas> made = transformFrame(*source, a, b, c, d, source->handleX(), source->handleY());
            ASSERT_NE(made, nullptr);
            const std::string what = "round " + std::to_string(round) + (filter ? " bilinear" : " nearest");
            expectSame(pictureOf(*made), reference(*source, a, b, c, d, filter), what);
            EXPECT_EQ(made->maskColour(), source->maskColour()) << what;
            EXPECT_EQ(made->surface().format(), source->surface().format()) << what;
            expectSame(pictureOf(*source), before, what + " source unchanged");
        }
    }
}

TEST_P(FrameTransform, IdentityReproducesTheFrameExactlyEitherWay) {
    auto source = randomFrame();
    for (bool filter : {true, false}) {
        graphicsState.transformFilter = filter;
        auto made = transformFrame(*source, 1, -0.0f, -0.0f, 1, source->handleX(), source->handleY());
        ASSERT_NE(made, nullptr);
        expectSame(pictureOf(*made), pictureOf(*source), filter ? "bilinear" : "nearest");
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, FrameTransform, ::testing::ValuesIn(allFormats()),
                         [](const auto& info) { return std::string("f") + info.param.name; });

TEST(FrameTransformShape, QuarterTurnSwapsWidthAndHeight) {
    auto source = makeCanvas(10, 20, SurfaceFormat::xrgb8888());
    source->setColour(0xFF0000);
    source->rect(0, 0, 10, 1, true);  // the top row
    const float t = -90 * 0.017453292f;
    auto made = transformFrame(*source, std::cos(t), -std::sin(t), std::sin(t), std::cos(t), 0, 0);
    ASSERT_NE(made, nullptr);
    EXPECT_GE(made->width(), 20);
    EXPECT_LE(made->width(), 21);
    EXPECT_GE(made->height(), 10);
    EXPECT_LE(made->height(), 11);
    // Turned clockwise: the top row is now the right-hand column.
    made->lock();
    EXPECT_EQ(made->getPixelRaw(made->width() - 1, 5) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(made->getPixelRaw(0, 5) & 0xFFFFFF, 0u);
    made->unlock();
}

TEST(FrameTransformShape, DoublingScalesSizeAndHandle) {
    auto source = makeCanvas(3, 3, SurfaceFormat::rgb565());
    source->setHandle(1, 2);
    graphicsState.transformFilter = false;
    auto made = transformFrame(*source, 2, 0, 0, 2, 1, 2);
    graphicsState.transformFilter = true;
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->width(), 6);
    EXPECT_EQ(made->height(), 6);
    EXPECT_EQ(made->handleX(), 2);
    EXPECT_EQ(made->handleY(), 4);
}

TEST(FrameTransformShape, AreasOutsideThePictureAndTheViewportComeOutInTheMaskColour) {
    auto source = makeCanvas(8, 8, SurfaceFormat::xrgb8888());
    source->setMaskColour(0x00FF00);
    source->setColour(0x0000FF);
    source->rect(0, 0, 8, 8, true);
    graphicsState.transformFilter = false;
    auto turned = transformFrame(*source, 0.7071f, 0.7071f, -0.7071f, 0.7071f, 4, 4);
    ASSERT_NE(turned, nullptr);
    turned->lock();
    EXPECT_EQ(turned->getPixelRaw(0, 0) & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(turned->getPixelRaw(turned->width() / 2, turned->height() / 2) & 0xFFFFFF, 0x0000FFu);
    turned->unlock();
    // A viewport left on the frame limits what is read; a drawing origin does not move it.
    source->setViewport(0, 0, 4, 8);
    source->setOrigin(2, 3);
    auto copy = transformFrame(*source, 1, 0, 0, 1, 0, 0);
    graphicsState.transformFilter = true;
    ASSERT_NE(copy, nullptr);
    copy->lock();
    EXPECT_EQ(copy->getPixelRaw(0, 0) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(copy->getPixelRaw(3, 7) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(copy->getPixelRaw(4, 0) & 0xFFFFFF, 0x00FF00u);
    copy->unlock();
}

TEST(FrameTransformShape, BilinearEdgesBlendWithTheMaskColour) {
    auto source = makeCanvas(2, 1, SurfaceFormat::xrgb8888());
    source->setColour(0xC8C8C8);
    source->rect(0, 0, 2, 1, true);
    auto made = transformFrame(*source, 2, 0, 0, 1, 0, 0);  // 4 x 1, sampled at x = 0.25 .. 1.75
    ASSERT_NE(made, nullptr);
    made->lock();
    // The first centre maps to 0.25: a quarter of the way from the mask colour (black) at -0.5.
    EXPECT_EQ(made->getPixelRaw(0, 0) & 0xFFFFFF, 0x969696u);  // 200 * 0.75
    EXPECT_EQ(made->getPixelRaw(1, 0) & 0xFFFFFF, 0xC8C8C8u);
    made->unlock();
}

TEST(FrameTransformShape, EmptyUnboundedOrHugeResultsAreNotMade) {
    auto one = makeCanvas(1, 1, SurfaceFormat::rgb565());
    auto frame = makeCanvas(16, 16, SurfaceFormat::rgb565());
    EXPECT_EQ(transformFrame(*frame, 0, 0, 0, 0, 0, 0), nullptr);  // zero scale
    EXPECT_EQ(transformFrame(*frame, 0, 0, 0, 1, 0, 0), nullptr);  // zero width
    EXPECT_EQ(transformFrame(*frame, 1, 1, 1, 1, 0, 0), nullptr);  // singular, though its box is not empty
    EXPECT_EQ(transformFrame(*frame, NAN, 0, 0, 1, 0, 0), nullptr);
    EXPECT_EQ(transformFrame(*frame, INFINITY, 0, 0, 1, 0, 0), nullptr);
    EXPECT_EQ(transformFrame(*frame, 1e30f, 0, 0, 1e30f, 0, 0), nullptr);
    EXPECT_EQ(transformFrame(*frame, 1, 0, 0, 1, INT32_MAX, 0), nullptr);  // its handle would not fit
    // The bounds: 4096 x 4096 pixels in area, 32768 on a side.
    EXPECT_EQ(transformFrame(*one, 4097, 0, 0, 4096, 0, 0), nullptr);
    EXPECT_EQ(transformFrame(*one, 1, 0, 0, 32769, 0, 0), nullptr);
    auto tall = transformFrame(*one, 1, 0, 0, 32768, 0, 0);
    ASSERT_NE(tall, nullptr);
    EXPECT_EQ(tall->height(), 32768);
    // A tiny but regular matrix maps samples far outside the source: transparent, no overflow.
    auto far = transformFrame(*frame, 1e-19f, 0, 0, 1e-19f, 0, 0);
    ASSERT_NE(far, nullptr);
    EXPECT_EQ(far->width(), 1);
}

}  // namespace
