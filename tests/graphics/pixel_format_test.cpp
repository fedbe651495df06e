// PixelFormat: derivation of shifts and fill bits, ARGB/native conversion without bit
// replication, and the precompiled writers and readers against the general conversion.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "graphics/pixel_format.h"

namespace {

uint32_t roundTrip(const SurfaceFormat& s, uint32_t argb) {
    const PixelFormat f = PixelFormat::fromSurface(s);
    uint8_t buffer[4] = {};
    f.write(buffer, argb);
    return f.read(buffer);
}

TEST(PixelFormat, DerivesShiftsAndFillBitsFor565) {
    const PixelFormat f = PixelFormat::fromSurface(SurfaceFormat::rgb565());
    EXPECT_EQ(f.depth, 16);
    EXPECT_EQ(f.bytesPerPixel, 2);
    EXPECT_EQ(f.fillBits, 0xFF000000u);
    // alpha, red, green, blue
    EXPECT_EQ(f.leftShift[1], 11);
    EXPECT_EQ(f.rightShift[1], 19);
    EXPECT_EQ(f.leftShift[2], 5);
    EXPECT_EQ(f.rightShift[2], 10);
    EXPECT_EQ(f.leftShift[3], 0);
    EXPECT_EQ(f.rightShift[3], 3);
    EXPECT_EQ(f.leftShift[0], 0);
    EXPECT_EQ(f.rightShift[0], 24);
}

TEST(PixelFormat, MissingChannelsReadAsFull) {
    const PixelFormat f = PixelFormat::fromSurface({32, 0, 0xFF0000, 0, 0xFF});
    EXPECT_EQ(f.fillBits, 0xFF00FF00u);
    EXPECT_EQ(f.toArgb(0), 0xFF00FF00u);
    const PixelFormat withAlpha = PixelFormat::fromSurface({32, 0xFF000000, 0xFF0000, 0xFF00, 0xFF});
    EXPECT_EQ(withAlpha.fillBits, 0u);
}

TEST(PixelFormat, WhiteRoundTripsWithoutBitReplication) {
    EXPECT_EQ(roundTrip(SurfaceFormat::rgb565(), 0xFFFFFFFF), 0xFFF8FCF8u);
    EXPECT_EQ(roundTrip(SurfaceFormat::rgb555(), 0xFFFFFFFF), 0xFFF8F8F8u);
    EXPECT_EQ(roundTrip(SurfaceFormat::rgb888(), 0xFFFFFFFF), 0xFFFFFFFFu);
    EXPECT_EQ(roundTrip(SurfaceFormat::xrgb8888(), 0xFFFFFFFF), 0xFFFFFFFFu);
    EXPECT_EQ(roundTrip(SurfaceFormat::rgb565(), 0xFF0000), 0xFFF80000u);
}

TEST(PixelFormat, StandardMasksDropAlphaOnly) {
    for (const SurfaceFormat& s : {SurfaceFormat::rgb888(), SurfaceFormat::xrgb8888()}) {
        const PixelFormat f = PixelFormat::fromSurface(s);
        EXPECT_EQ(f.toNative(0x12345678), 0x00345678u);
        EXPECT_EQ(roundTrip(s, 0x12345678), 0xFF345678u);
    }
    uint8_t b[4] = {};
    PixelFormat::fromSurface(SurfaceFormat::xrgb8888()).write(b, 0xAB123456);
    EXPECT_EQ(b[3], 0) << "the padding byte of X8R8G8B8 is written as 0";
}

TEST(PixelFormat, WritersStoreTheirWidthLittleEndian) {
    uint8_t b[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    PixelFormat::fromSurface(SurfaceFormat::rgb565()).write(b, 0xFFFFFFFF);
    EXPECT_EQ(b[0], 0xFF);
    EXPECT_EQ(b[1], 0xFF);
    EXPECT_EQ(b[2], 0xEE);
    PixelFormat::fromSurface(SurfaceFormat::rgb888()).write(b, 0x00112233);
    EXPECT_EQ(b[0], 0x33);
    EXPECT_EQ(b[1], 0x22);
    EXPECT_EQ(b[2], 0x11);
    EXPECT_EQ(b[3], 0xEE);
}

TEST(PixelFormat, ReadersIgnoreBytesPastThePixel) {
    const uint8_t b24[4] = {0x33, 0x22, 0x11, 0x99};
    EXPECT_EQ(PixelFormat::fromSurface(SurfaceFormat::rgb888()).read(b24), 0xFF112233u);
    const uint8_t b16[4] = {0x00, 0xF8, 0x99, 0x99};
    EXPECT_EQ(PixelFormat::fromSurface(SurfaceFormat::rgb565()).read(b16), 0xFFF80000u);
    // Bit 15 of a 5-5-5 pixel is padding.
    const uint8_t b15[2] = {0x1F, 0x80};
    EXPECT_EQ(PixelFormat::fromSurface(SurfaceFormat::rgb555()).read(b15), 0xFF0000F8u);
}

TEST(PixelFormat, RoutinesAgreeWithTheChannelConversionOnEveryFormat) {
    const SurfaceFormat formats[] = {
        SurfaceFormat::rgb565(), SurfaceFormat::rgb555(), SurfaceFormat::rgb888(), SurfaceFormat::xrgb8888(),
        {32, 0xFF000000, 0xFF0000, 0xFF00, 0xFF},  // standard with alpha
        {32, 0, 0xFF, 0xFF00, 0xFF0000},          // blue and red swapped: general path
        {16, 0xF000, 0x0F00, 0x00F0, 0x000F},      // 4-4-4-4 with alpha
        {24, 0, 0xFF, 0xFF00, 0xFF0000},
    };
    std::mt19937 rng(7);
    for (const SurfaceFormat& s : formats) {
        const PixelFormat f = PixelFormat::fromSurface(s);
        for (int i = 0; i < 2000; ++i) {
            const uint32_t argb = rng();
            uint8_t b[4] = {};
            f.write(b, argb);
            uint32_t stored = 0;
            std::memcpy(&stored, b, size_t(f.bytesPerPixel));
            ASSERT_EQ(stored, f.toNative(argb)) << std::hex << argb << " depth " << s.depth;
            ASSERT_EQ(f.read(b), f.toArgb(stored));
            // Channel by channel: the top bits of each present channel survive.
            const uint32_t back = f.read(b);
            const uint32_t masks[4] = {s.alphaMask, s.redMask, s.greenMask, s.blueMask};
            for (int c = 0; c < 4; ++c) {
                const int bits = __builtin_popcount(masks[c]);
                const int shift = 24 - 8 * c;
                const uint32_t in = (argb >> shift) & 0xFF;
                const uint32_t out = (back >> shift) & 0xFF;
                const uint32_t keep = bits == 0 ? 0 : (0xFFu << (8 - bits)) & 0xFF;
                if (bits == 0) {
                    ASSERT_EQ(out, 0xFFu);
                } else {
                    ASSERT_EQ(out, in & keep);
                }
            }
        }
    }
}

}  // namespace
