// The canvas's collision mask: built on first need and refreshed over changed rectangles,
// widened to whole 32-pixel words. A bit is 1 where the pixel's red, green and blue differ
// from the mask colour's, compared on native pixels (the conversion to ARGB keeps them apart).
#include <algorithm>
#include <cstring>

#include "graphics/canvas.h"

namespace {

template <int Bytes>
uint32_t loadNative(const uint8_t* p) {
    if constexpr (Bytes == 4) {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    } else if constexpr (Bytes == 3) {
        return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
    } else if constexpr (Bytes == 2) {
        uint16_t v;
        std::memcpy(&v, p, 2);
        return v;
    } else {
        return p[0];
    }
}

// Builds the words [firstWord, lastWord) of one row; columns at or past width give 0.
template <int Bytes>
void buildRow(uint32_t* words, const uint8_t* row, int32_t firstWord, int32_t lastWord, int32_t width,
              uint32_t colourBits, uint32_t key) {
    for (int32_t w = firstWord; w < lastWord; ++w) {
        const int32_t x0 = w * 32;
        const int32_t n = std::min(32, width - x0);
        const uint8_t* p = row + x0 * Bytes;
        uint32_t bits = 0;
        for (int32_t k = 0; k < n; ++k, p += Bytes) {
            bits |= uint32_t((loadNative<Bytes>(p) & colourBits) != key) << (31 - k);
        }
        words[w] = bits;
    }
}

}  // namespace

const uint32_t* sysCanvas::collisionMask() {
    if (!mask_) {
        const size_t count = size_t(maskWordsPerRow_) * size_t(height());
        mask_.reset(new uint32_t[count > 0 ? count : 1]());
        rebuildCollisionMask(surfaceRect_);
    }
    return mask_.get();
}

void sysCanvas::rebuildCollisionMask(const SurfaceRect& rect) {
    if (!mask_) {
        return;
    }
    const SurfaceRect r = intersectRects(rect, surfaceRect_);
    if (r.empty()) {
        return;
    }
    if (lock()) {
        buildMaskRows(r);
    }
    unlock();
}

void sysCanvas::buildMaskRows(const SurfaceRect& r) {
    const int32_t firstWord = r.left / 32;
    const int32_t lastWord = (r.right + 31) / 32;
    const uint32_t colourBits = format_.colourBits();
    const uint32_t key = maskColour_ & colourBits;
    for (int32_t y = r.top; y < r.bottom; ++y) {
        uint32_t* words = mask_.get() + size_t(y) * size_t(maskWordsPerRow_);
        const uint8_t* row = base_ + y * pitch_;
        switch (format_.bytesPerPixel) {
        case 2: buildRow<2>(words, row, firstWord, lastWord, width(), colourBits, key); break;
        case 3: buildRow<3>(words, row, firstWord, lastWord, width(), colourBits, key); break;
        case 4: buildRow<4>(words, row, firstWord, lastWord, width(), colourBits, key); break;
        default: buildRow<1>(words, row, firstWord, lastWord, width(), colourBits, key); break;
        }
    }
}
