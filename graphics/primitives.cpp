// Drawing primitives of sysCanvas: clear, plot, rectangle and oval as rectangle fills, and
// the line, the one primitive that writes single pixels. Coordinates are origin-relative
// and everything is clipped to the viewport on integers before the surface is touched.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "graphics/canvas.h"

namespace {

// The rectangle (l, t, r, b) cut to the clip; (0, 0, 0, 0) when nothing is left. Works on
// 64-bit edges so that far-off coordinates cannot wrap around.
SurfaceRect clipRect(int64_t l, int64_t t, int64_t r, int64_t b, const SurfaceRect& clip) {
    l = std::max<int64_t>(l, clip.left);
    t = std::max<int64_t>(t, clip.top);
    r = std::min<int64_t>(r, clip.right);
    b = std::min<int64_t>(b, clip.bottom);
    if (r <= l || b <= t) {
        return {};
    }
    return {int32_t(l), int32_t(t), int32_t(r), int32_t(b)};
}

struct Rect64 {
    int64_t left, top, right, bottom;
};

// The shape's rectangle in surface coordinates.
Rect64 placed(int32_t x, int32_t y, int32_t w, int32_t h, int32_t ox, int32_t oy) {
    const int64_t l = int64_t(x) + ox;
    const int64_t t = int64_t(y) + oy;
    return {l, t, l + w, t + h};
}

}  // namespace

void sysCanvas::clear() {
    if (viewport_.empty()) {
        return;
    }
    fillRect(viewport_, clsColour_);
    finishDrawing(viewport_);
}

void sysCanvas::plot(int32_t x, int32_t y) {
    const Rect64 r = placed(x, y, 1, 1, originX_, originY_);
    const SurfaceRect c = clipRect(r.left, r.top, r.right, r.bottom, viewport_);
    if (c.empty()) {
        return;
    }
    fillRect(c, colour_);
    finishDrawing(c);
}

void sysCanvas::rect(int32_t x, int32_t y, int32_t width, int32_t height, bool solid) {
    if (width <= 0 || height <= 0) {
        return;
    }
    const Rect64 r = placed(x, y, width, height, originX_, originY_);
    const SurfaceRect c = clipRect(r.left, r.top, r.right, r.bottom, viewport_);
    if (c.empty()) {
        return;
    }
    if (solid) {
        fillRect(c, colour_);
    } else {
        const Rect64 edges[4] = {
            {r.left, r.top, r.right, r.top + 1},
            {r.left, r.top, r.left + 1, r.bottom},
            {r.right - 1, r.top, r.right, r.bottom},
            {r.left, r.bottom - 1, r.right, r.bottom},
        };
        for (const Rect64& e : edges) {
            const SurfaceRect ec = clipRect(e.left, e.top, e.right, e.bottom, viewport_);
            if (!ec.empty()) {
                fillRect(ec, colour_);
            }
        }
    }
    finishDrawing(c);
}

namespace {

// Row spans of an oval, in single precision: row i covers columns [xl(i), xr(i)).
struct OvalRows {
    float cx, cy, r2, ratio;

    OvalRows(int64_t left, int64_t top, int32_t width, int32_t height) {
        const float hh = float(height) * 0.5f;
        ratio = float(width) / float(height);
        cx = float(left) + float(width) * 0.5f + 0.5f;
        cy = float(top) + hh - 0.5f;
        r2 = hh * hh;
    }
    float halfWidth(int32_t i) const {
        const float d = float(i) - cy;
        // Rounding far from the surface could make the square negative; it is 0 there.
        return std::sqrt(std::max(0.0f, r2 - d * d)) * ratio;
    }
    int64_t xl(int32_t i) const { return toInt(std::floor(cx - halfWidth(i))); }
    int64_t xr(int32_t i) const { return toInt(std::floor(cx + halfWidth(i))); }
    // Through a 32-bit conversion (one SSE instruction; a 64-bit one goes through the x87
    // unit and dominated the row cost). Values beyond +-2^30 lie far outside any viewport.
    static int64_t toInt(float v) {
        constexpr float limit = 1073741824.0f;
        return int32_t(std::min(limit, std::max(-limit, v)));
    }
};

}  // namespace

void sysCanvas::oval(int32_t x, int32_t y, int32_t width, int32_t height, bool solid) {
    if (width <= 0 || height <= 0) {
        return;
    }
    const Rect64 r = placed(x, y, width, height, originX_, originY_);
    const SurfaceRect c = clipRect(r.left, r.top, r.right, r.bottom, viewport_);
    if (c.empty()) {
        return;
    }
    const OvalRows rows(r.left, r.top, width, height);
    const SurfaceRect& v = viewport_;
    if (solid) {
        for (int32_t i = c.top; i < c.bottom; ++i) {
            const int64_t xl = rows.xl(i);
            const int64_t xr = rows.xr(i);
            if (xl < xr && xl < v.right && v.left < xr) {
                fillRect({int32_t(std::max<int64_t>(xl, v.left)), i, int32_t(std::min<int64_t>(xr, v.right)), i + 1},
                         colour_);
            }
        }
        finishDrawing(c);
        return;
    }

    // Outline: short runs from each row's end to the previous row's, so the edge has no gaps.
    const int64_t end = OvalRows::toInt(std::floor(rows.cy));
    const int64_t v0 = OvalRows::toInt(rows.cx);
    auto runs = [&](int32_t i, int64_t pl, int64_t pr) {
        const int64_t xl = rows.xl(i);
        const int64_t xr = rows.xr(i);
        SurfaceRect left = clipRect(xl, i, pl <= xl ? xl + 1 : pl, int64_t(i) + 1, v);
        SurfaceRect right = clipRect(pr >= xr ? xr - 1 : pr, i, xr, int64_t(i) + 1, v);
        if (!left.empty()) {
            fillRect(left, colour_);
        }
        if (!right.empty()) {
            fillRect(right, colour_);
        }
    };
    int64_t pl = v0;
    int64_t pr = v0;
    // Rows past the far edge of the viewport draw nothing, so the walks stop there.
    for (int64_t i = c.top > r.top ? c.top - 1 : c.top; i <= end && i < c.bottom; ++i) {
        runs(int32_t(i), pl, pr);
        pl = rows.xl(int32_t(i));
        pr = rows.xr(int32_t(i));
    }
    pl = v0;
    pr = v0;
    for (int64_t j = c.bottom < r.bottom ? c.bottom : c.bottom - 1; j > end && j >= c.top; --j) {
        runs(int32_t(j), pl, pr);
        pl = rows.xl(int32_t(j));
        pr = rows.xr(int32_t(j));
    }
    finishDrawing(c);
}

namespace {

// Steps a line with integer error terms, storing one native pixel of Bytes bytes per step.
template <int Bytes>
void stepLine(uint8_t* p, int32_t pitch, int32_t adx, int32_t ady, int32_t sx, int32_t sy, const uint8_t* pixel) {
    const int32_t xstep = sx * Bytes;
    const int32_t ystep = sy * pitch;
    if (ady < adx) {
        int32_t e = -adx;
        for (int32_t n = adx + 1; n > 0; --n) {
            std::memcpy(p, pixel, Bytes);
            e += 2 * ady;
            if (e >= 0) {
                p += ystep;
                e -= 2 * adx;
            }
            p += xstep;
        }
    } else {
        int32_t e = -ady;
        for (int32_t n = ady + 1; n > 0; --n) {
            std::memcpy(p, pixel, Bytes);
            e += 2 * adx;
            p += ystep;
            if (e >= 0) {
                p += xstep;
                e -= 2 * ady;
            }
        }
    }
}

// p * q / r truncated toward zero. Exact while the factors fit 31 bits, which covers every
// coordinate plus origin of ordinary use; beyond that double precision, which the outcode
// checks of the clipping loop make safe.
int64_t mulDiv(int64_t p, int64_t q, int64_t r) {
    constexpr int64_t limit = int64_t(1) << 31;
    if (p > -limit && p < limit && q > -limit && q < limit) {
        return p * q / r;
    }
    return int64_t(double(p) * double(q) / double(r));
}

enum : int { Below = 1, Above = 2, RightOf = 4, LeftOf = 8 };

int outcode(int64_t x, int64_t y, int64_t l, int64_t t, int64_t r, int64_t b) {
    int code = y > b ? Below : y < t ? Above : 0;
    code |= x > r ? RightOf : x < l ? LeftOf : 0;
    return code;
}

}  // namespace

void sysCanvas::line(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    if (viewport_.empty()) {
        return;  // the inclusive clip box would be inside out
    }
    // 64-bit arithmetic gives the 32-bit results wherever those do not overflow, and keeps
    // far-off end points from wrapping around.
    int64_t a = int64_t(x1) + originX_, b = int64_t(y1) + originY_;
    int64_t c = int64_t(x2) + originX_, d = int64_t(y2) + originY_;
    const int64_t L = viewport_.left, T = viewport_.top, R = viewport_.right - 1, B = viewport_.bottom - 1;
    for (int pass = 0;; ++pass) {
        const int o1 = outcode(a, b, L, T, R, B);
        const int o2 = outcode(c, d, L, T, R, B);
        if ((o1 | o2) == 0) {
            break;
        }
        if ((o1 & o2) != 0 || pass == 16) {
            return;
        }
        const int64_t dx = c - a;
        const int64_t dy = d - b;
        if (o1 & Below) {
            a += mulDiv(B - b, dx, dy);
            b = B;
        } else if (o1 & Above) {
            a += mulDiv(T - b, dx, dy);
            b = T;
        } else if (o1 & RightOf) {
            b += mulDiv(R - a, dy, dx);
            a = R;
        } else if (o1 & LeftOf) {
            b += mulDiv(L - a, dy, dx);
            a = L;
        } else if (o2 & Below) {
            c = a + mulDiv(B - b, dx, dy);
            d = B;
        } else if (o2 & Above) {
            c = a + mulDiv(T - b, dx, dy);
            d = T;
        } else if (o2 & RightOf) {
            d = b + mulDiv(R - a, dy, dx);
            c = R;
        } else {
            d = b + mulDiv(L - a, dy, dx);
            c = L;
        }
    }

    // The writer's bytes for the colour, made once and stored at every step.
    uint8_t pixel[4] = {};
    format_.write(pixel, colourArgb_);
    const int32_t bytes = format_.bytesPerPixel;
    const int32_t adx = int32_t(c > a ? c - a : a - c);
    const int32_t ady = int32_t(d > b ? d - b : b - d);
    const int32_t count = std::max(adx, ady) + 1;
    if (lock()) {
        const int32_t sx = c < a ? -1 : 1;
        const int32_t sy = d < b ? -1 : 1;
        uint8_t* p = pixelAt(int32_t(a), int32_t(b));
        if (ady == 0 && bytes >= 2) {
            fillRect({int32_t(std::min(a, c)), int32_t(b), int32_t(std::max(a, c)) + 1, int32_t(b) + 1}, colour_);
        } else {
            switch (bytes) {
            case 2: stepLine<2>(p, pitch_, adx, ady, sx, sy, pixel); break;
            case 3: stepLine<3>(p, pitch_, adx, ady, sx, sy, pixel); break;
            case 4: stepLine<4>(p, pitch_, adx, ady, sx, sy, pixel); break;
            default: stepLine<1>(p, pitch_, adx, ady, sx, sy, pixel); break;
            }
        }
    }
    countModifications(uint32_t(count));
    unlock();
}
