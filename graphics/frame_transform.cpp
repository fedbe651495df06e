// The frame transform: every destination pixel centre is mapped back through the inverse
// matrix, in single precision, and sampled from the source. Reads outside the source's
// viewport give its mask colour, so what lies beyond the picture comes out transparent.
#include "graphics/frame_transform.h"

#include <algorithm>
#include <cmath>

#include "graphics/graphics_state.h"
#include "graphics/sys_font.h"
#include "graphics/sys_graphics.h"

namespace {

// floor(v) as a pixel index. Values beyond any canvas (and NaN) give -4, which is outside
// every canvas even with the bilinear neighbour added, so no conversion overflows.
inline int32_t pixelIndex(float v) {
    const float f = std::floor(v);
    return (f >= -4.0f && f < 1073741824.0f) ? int32_t(f) : -4;
}

// The source as the transform reads it: its own pixels inside its viewport (surface
// coordinates; a drawing origin left on the frame does not move the picture), the mask
// colour elsewhere. Software surfaces never move, so reading needs no lock.
class SourceReader {
public:
    explicit SourceReader(const sysCanvas& source)
        : format_(source.pixelFormat()),
          base_(source.surface().pixels()),
          pitch_(source.surface().pitch()),
          view_(source.viewport()),
          mask_(source.maskColour()) {}

    uint32_t at(int32_t x, int32_t y) const {
        if (x < view_.left || x >= view_.right || y < view_.top || y >= view_.bottom) {
            return mask_;
        }
        return format_.read(base_ + y * pitch_ + x * format_.bytesPerPixel);
    }

    uint32_t nearest(float sx, float sy) const { return at(pixelIndex(sx), pixelIndex(sy)); }

    uint32_t bilinear(float sx, float sy) const {
        float x = sx - 0.5f;
        float y = sy - 0.5f;
        if (!std::isfinite(x) || !std::isfinite(y)) {
            x = -4.0f;
            y = -4.0f;
        }
        const int32_t ix = pixelIndex(x);
        const int32_t iy = pixelIndex(y);
        const float fx = x - std::floor(x);
        const float fy = y - std::floor(y);
        const uint32_t p00 = at(ix, iy);
        const uint32_t p10 = at(ix + 1, iy);
        const uint32_t p11 = at(ix + 1, iy + 1);
        const uint32_t p01 = at(ix, iy + 1);
        const float w00 = (1.0f - fx) * (1.0f - fy);
        const float w10 = fx * (1.0f - fy);
        const float w11 = fx * fy;
        const float w01 = (1.0f - fx) * fy;
        uint32_t result = 0;
        for (int shift = 16; shift >= 0; shift -= 8) {
            const float value = float((p00 >> shift) & 255) * w00 + float((p10 >> shift) & 255) * w10 +
                                float((p11 >> shift) & 255) * w11 + float((p01 >> shift) & 255) * w01 + 0.5f;
            result |= std::min(uint32_t(value), 255u) << shift;
        }
        return result;
    }

private:
    const PixelFormat& format_;
    const uint8_t* base_;
    int32_t pitch_;
    SurfaceRect view_;
    uint32_t mask_;
};

}  // namespace

std::unique_ptr<sysCanvas> transformFrame(const sysCanvas& source, float a, float b, float c, float d,
                                          int32_t anchorX, int32_t anchorY) {
    const float det = a * d - c * b;
    const float ia = d / det;
    const float ic = -c / det;
    const float ib = -b / det;
    const float id = a / det;
    if (!std::isfinite(ia) || !std::isfinite(ib) || !std::isfinite(ic) || !std::isfinite(id)) {
        return nullptr;
    }
    const float hx = float(anchorX);
    const float hy = float(anchorY);
    const float w = float(source.width());
    const float h = float(source.height());
    const float us[4] = {-hx, w - hx, w - hx, -hx};
    const float vs[4] = {-hy, -hy, h - hy, h - hy};
    float lowX = INFINITY, lowY = INFINITY, highX = -INFINITY, highY = -INFINITY;
    for (int k = 0; k < 4; ++k) {
        const float x = a * us[k] + c * vs[k];
        const float y = b * us[k] + d * vs[k];
        lowX = std::min(lowX, x);
        lowY = std::min(lowY, y);
        highX = std::max(highX, x);
        highY = std::max(highY, y);
    }
    const float minX = std::floor(lowX);
    const float minY = std::floor(lowY);
    const double width = double(std::ceil(highX)) - double(minX);
    const double height = double(std::ceil(highY)) - double(minY);
    // Written so that NaN fails every test; the new handle must be a 32-bit value too.
    constexpr float handleLimit = 2147483520.0f;  // the largest float below 2^31
    if (!(width >= 1.0 && height >= 1.0 && width <= kMaxTransformSide && height <= kMaxTransformSide &&
          width * height <= double(kMaxTransformPixels) && std::fabs(minX) <= handleLimit &&
          std::fabs(minY) <= handleLimit)) {
        return nullptr;
    }
    sysGraphics* owner = source.owner();
    FontFace* font = owner ? owner->defaultFont() : source.font();
    std::unique_ptr<sysCanvas> made = sysCanvas::create(int32_t(width), int32_t(height), CanvasPlaced,
                                                        source.surface().format(), owner, font);
    if (!made) {
        return nullptr;
    }
    made->setHandle(-int32_t(minX), -int32_t(minY));
    made->setMaskColour(source.maskColour());
    const SourceReader reader(source);
    const bool filter = graphicsState.transformFilter;
    const bool drawable = made->lock();
    for (int32_t i = 0; drawable && i < made->height(); ++i) {
        const float q = minY + 0.5f + float(i);
        for (int32_t j = 0; j < made->width(); ++j) {
            const float p = minX + 0.5f + float(j);
            const float sx = ia * p + ic * q + hx;
            const float sy = ib * p + id * q + hy;
            made->setPixelRaw(j, i, filter ? reader.bilinear(sx, sy) : reader.nearest(sx, sy));
        }
    }
    made->unlock();
    return drawable ? std::move(made) : nullptr;
}
