// Building a PixelFormat from a surface layout, and the precompiled pixel writers and
// readers: a shift-free pair for the standard 8-bit masks and a per-channel pair for others.
#include "graphics/pixel_format.h"

#include <cstring>

namespace {

template <int Bytes>
void storeBytes(uint8_t* at, uint32_t v) {
    if constexpr (Bytes == 4) {
        std::memcpy(at, &v, 4);
    } else if constexpr (Bytes == 3) {
        at[0] = uint8_t(v);
        at[1] = uint8_t(v >> 8);
        at[2] = uint8_t(v >> 16);
    } else if constexpr (Bytes == 2) {
        const uint16_t h = uint16_t(v);
        std::memcpy(at, &h, 2);
    } else {
        at[0] = uint8_t(v);
    }
}

template <int Bytes>
uint32_t loadBytes(const uint8_t* at) {
    if constexpr (Bytes == 4) {
        uint32_t v;
        std::memcpy(&v, at, 4);
        return v;
    } else if constexpr (Bytes == 3) {
        return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16;
    } else if constexpr (Bytes == 2) {
        uint16_t h;
        std::memcpy(&h, at, 2);
        return h;
    } else {
        return at[0];
    }
}

// Standard masks: the native pixel is the ARGB value itself (less alpha without an alpha mask).
void writeStandard32NoAlpha(const PixelFormat&, uint8_t* at, uint32_t argb) { storeBytes<4>(at, argb & 0x00FFFFFF); }
void writeStandard32Alpha(const PixelFormat&, uint8_t* at, uint32_t argb) { storeBytes<4>(at, argb); }
void writeStandard24(const PixelFormat&, uint8_t* at, uint32_t argb) { storeBytes<3>(at, argb); }
uint32_t readStandard32(const PixelFormat& f, const uint8_t* at) { return loadBytes<4>(at) | f.fillBits; }
uint32_t readStandard24(const PixelFormat& f, const uint8_t* at) { return loadBytes<3>(at) | f.fillBits; }

template <int Bytes>
void writeGeneral(const PixelFormat& f, uint8_t* at, uint32_t argb) {
    storeBytes<Bytes>(at, f.toNative(argb));
}

template <int Bytes>
uint32_t readGeneral(const PixelFormat& f, const uint8_t* at) {
    return f.toArgb(loadBytes<Bytes>(at));
}

int lowestBit(uint32_t mask) {
    int i = 0;
    while (((mask >> i) & 1) == 0) {
        ++i;
    }
    return i;
}

int runLength(uint32_t mask, int from) {
    int n = 0;
    while (from + n < 32 && ((mask >> (from + n)) & 1) != 0) {
        ++n;
    }
    return n;
}

}  // namespace

PixelFormat PixelFormat::fromSurface(const SurfaceFormat& surface) {
    PixelFormat f;
    f.depth = surface.depth;
    f.bytesPerPixel = surface.depth / 8;
    uint32_t* masks[4] = {&f.alphaMask, &f.redMask, &f.greenMask, &f.blueMask};
    const uint32_t given[4] = {surface.alphaMask, surface.redMask, surface.greenMask, surface.blueMask};
    const int base[4] = {24, 16, 8, 0};
    f.fillBits = surface.alphaMask == 0 ? 0xFF000000u : 0;
    if (surface.redMask == 0) {
        f.fillBits |= 0x00FF0000;
    }
    if (surface.greenMask == 0) {
        f.fillBits |= 0x0000FF00;
    }
    if (surface.blueMask == 0) {
        f.fillBits |= 0x000000FF;
    }
    for (int c = 0; c < 4; ++c) {
        uint32_t mask = given[c];
        if (mask == 0) {
            *masks[c] = 0;
            f.leftShift[c] = 0;
            f.rightShift[c] = uint8_t(base[c]);
            continue;
        }
        int low = lowestBit(mask);
        int bits = runLength(mask, low);
        if (bits > 8) {
            low += bits - 8;
            bits = 8;
            mask = 0xFFu << low;
        }
        *masks[c] = mask;
        f.leftShift[c] = uint8_t(low);
        f.rightShift[c] = uint8_t(base[c] + 8 - bits);
    }

    const bool standardColour = f.redMask == 0x00FF0000 && f.greenMask == 0x0000FF00 && f.blueMask == 0x000000FF;
    if (standardColour && f.depth == 32 && f.alphaMask == 0) {
        f.writer = writeStandard32NoAlpha;
        f.reader = readStandard32;
    } else if (standardColour && f.depth == 32 && f.alphaMask == 0xFF000000) {
        f.writer = writeStandard32Alpha;
        f.reader = readStandard32;
    } else if (standardColour && f.depth == 24 && f.alphaMask == 0) {
        f.writer = writeStandard24;
        f.reader = readStandard24;
    } else if (f.depth == 32) {
        f.writer = writeGeneral<4>;
        f.reader = readGeneral<4>;
    } else if (f.depth == 24) {
        f.writer = writeGeneral<3>;
        f.reader = readGeneral<3>;
    } else if (f.depth == 16) {
        f.writer = writeGeneral<2>;
        f.reader = readGeneral<2>;
    } else {
        f.writer = writeGeneral<1>;
        f.reader = readGeneral<1>;
    }
    return f;
}
