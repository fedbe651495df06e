// A canvas's pixel layout: channel masks and shifts, conversion between ARGB colours and
// native pixels, and the pixel writer and reader picked once for the layout.
#pragma once

#include <cstdint>

#include "platform/surface.h"

struct PixelFormat;

// Stores an ARGB colour as a native pixel at an address / loads one back as ARGB.
using PixelWriter = void (*)(const PixelFormat& format, uint8_t* at, uint32_t argb);
using PixelReader = uint32_t (*)(const PixelFormat& format, const uint8_t* at);

struct PixelFormat {
    int32_t depth = 0;
    int32_t bytesPerPixel = 0;
    uint32_t alphaMask = 0;
    uint32_t redMask = 0;
    uint32_t greenMask = 0;
    uint32_t blueMask = 0;
    // ORed into every native-to-ARGB result: channels the surface lacks read as 255.
    uint32_t fillBits = 0;
    // Per channel, in the order alpha, red, green, blue.
    uint8_t rightShift[4] = {};
    uint8_t leftShift[4] = {};
    PixelWriter writer = nullptr;
    PixelReader reader = nullptr;

    // Derives shifts, fill bits and the routines from a surface layout. A channel wider
    // than 8 bits keeps only its top 8 bits (its mask here is narrowed to them).
    static PixelFormat fromSurface(const SurfaceFormat& surface);

    uint32_t toNative(uint32_t argb) const {
        const uint32_t masks[4] = {alphaMask, redMask, greenMask, blueMask};
        uint32_t pixel = 0;
        for (int c = 0; c < 4; ++c) {
            pixel |= ((argb >> rightShift[c]) << leftShift[c]) & masks[c];
        }
        return pixel;
    }

    uint32_t toArgb(uint32_t pixel) const {
        const uint32_t masks[4] = {alphaMask, redMask, greenMask, blueMask};
        uint32_t argb = 0;
        for (int c = 0; c < 4; ++c) {
            argb |= ((pixel & masks[c]) >> leftShift[c]) << rightShift[c];
        }
        return argb | fillBits;
    }

    // The red, green and blue bits of a native pixel (what collision masks compare).
    uint32_t colourBits() const { return redMask | greenMask | blueMask; }

    void write(uint8_t* at, uint32_t argb) const { writer(*this, at, argb); }
    uint32_t read(const uint8_t* at) const { return reader(*this, at); }
};
