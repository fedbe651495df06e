// Collision tests. Pixel-exact tests compare 32 pixels a word on the collision masks: the
// right-hand frame's words are shifted onto the left-hand frame's, the bits that fall out
// of one word carried into the next. Positions are widened to 64 bits so that no placement
// overflows.
#include "graphics/collision.h"

#include <algorithm>

#include "graphics/canvas.h"

namespace {

// A frame's box on the screen, edges exclusive on the right and bottom.
struct Box {
    int64_t left, top, right, bottom;
};

Box placed(const sysCanvas& frame, int32_t x, int32_t y) {
    const int64_t left = int64_t(x) - frame.handleX();
    const int64_t top = int64_t(y) - frame.handleY();
    return {left, top, left + frame.width(), top + frame.height()};
}

bool meet(const Box& a, const Box& b) {
    return b.left < a.right && a.left < b.right && b.top < a.bottom && a.top < b.bottom;
}

// The word whose first `bits` bits (from the most significant) are 1; bits in 1..32.
uint32_t leadingBits(int64_t bits) {
    return bits >= 32 ? 0xFFFFFFFFu : ~(0xFFFFFFFFu >> bits);
}

}  // namespace

bool rectsOverlap(int32_t x1, int32_t y1, int32_t width1, int32_t height1, int32_t x2, int32_t y2,
                  int32_t width2, int32_t height2) {
    return meet({x1, y1, int64_t(x1) + width1, int64_t(y1) + height1},
                {x2, y2, int64_t(x2) + width2, int64_t(y2) + height2});
}

bool framesOverlap(const sysCanvas& a, int32_t ax, int32_t ay, const sysCanvas& b, int32_t bx, int32_t by) {
    return meet(placed(a, ax, ay), placed(b, bx, by));
}

bool framesCollide(sysCanvas& a, int32_t ax, int32_t ay, sysCanvas& b, int32_t bx, int32_t by) {
    const Box boxA = placed(a, ax, ay);
    const Box boxB = placed(b, bx, by);
    if (!meet(boxA, boxB)) {
        return false;
    }
    const uint32_t* maskA = a.collisionMask();
    const uint32_t* maskB = b.collisionMask();
    const bool aIsLeft = boxA.left <= boxB.left;
    const sysCanvas& left = aIsLeft ? a : b;
    const sysCanvas& right = aIsLeft ? b : a;
    const Box& l = aIsLeft ? boxA : boxB;
    const Box& r = aIsLeft ? boxB : boxA;
    const uint32_t* maskL = aIsLeft ? maskA : maskB;
    const uint32_t* maskR = aIsLeft ? maskB : maskA;

    const int64_t x1 = std::min(l.right, r.right);
    const int64_t y0 = std::max(l.top, r.top);
    const int64_t y1 = std::min(l.bottom, r.bottom);
    const int64_t offset = r.left - l.left;  // below the left frame's width: the boxes meet
    const int s = int(offset % 32);
    const int64_t k0 = offset / 32;
    const int64_t n = (x1 - l.left - 1) / 32 - k0;
    const uint32_t endMask = leadingBits((x1 - l.left - 1) % 32 + 1);
    const int64_t wordsL = left.maskWordsPerRow();
    const int64_t wordsR = right.maskWordsPerRow();
    for (int64_t y = y0; y < y1; ++y) {
        const uint32_t* rowL = maskL + (y - l.top) * wordsL + k0;
        const uint32_t* rowR = maskR + (y - r.top) * wordsR;
        uint32_t carry = 0;
        for (int64_t i = 0; i < n; ++i) {
            const uint32_t wordR = i < wordsR ? rowR[i] : 0;
            if ((((wordR >> s) | carry) & rowL[i]) != 0) {
                return true;
            }
            carry = s > 0 ? wordR << (32 - s) : 0;
        }
        const uint32_t wordR = n < wordsR ? rowR[n] : 0;
        if ((((wordR >> s) | carry) & rowL[n] & endMask) != 0) {
            return true;
        }
    }
    return false;
}

bool frameRectOverlap(const sysCanvas& frame, int32_t x, int32_t y, int32_t rx, int32_t ry, int32_t rw,
                      int32_t rh) {
    return meet(placed(frame, x, y), {rx, ry, int64_t(rx) + rw, int64_t(ry) + rh});
}

bool frameRectCollide(sysCanvas& frame, int32_t x, int32_t y, int32_t rx, int32_t ry, int32_t rw, int32_t rh) {
    const Box box = placed(frame, x, y);
    const Box rect{rx, ry, int64_t(rx) + rw, int64_t(ry) + rh};
    if (!meet(box, rect)) {
        return false;
    }
    // The clipped rectangle in frame columns [c, e) and rows [top, bottom).
    const int64_t c = std::max(rect.left, box.left) - box.left;
    const int64_t e = std::min(rect.right, box.right) - box.left;
    const int64_t top = std::max(rect.top, box.top) - box.top;
    const int64_t bottom = std::min(rect.bottom, box.bottom) - box.top;
    const uint32_t* mask = frame.collisionMask();
    const int64_t words = frame.maskWordsPerRow();
    const int64_t first = c / 32;
    const int64_t last = (e - 1) / 32;
    const uint32_t startMask = 0xFFFFFFFFu >> (c % 32);
    const uint32_t endMask = leadingBits((e - 1) % 32 + 1);
    for (int64_t row = top; row < bottom; ++row) {
        const uint32_t* bits = mask + row * words;
        if (first == last) {
            if ((bits[first] & startMask & endMask) != 0) {
                return true;
            }
            continue;
        }
        if ((bits[first] & startMask) != 0 || (bits[last] & endMask) != 0) {
            return true;
        }
        for (int64_t k = first + 1; k < last; ++k) {
            if (bits[k] != 0) {
                return true;
            }
        }
    }
    return false;
}
