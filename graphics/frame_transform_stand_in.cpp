// TEMPORARY stand-in for the frame transform (nearest-pixel sampling only); see the header.
#include "graphics/frame_transform_stand_in.h"

#include <algorithm>
#include <cmath>

std::unique_ptr<sysCanvas> nearestTransformFrameStandIn(const sysCanvas& source, float a, float b, float c,
                                                        float d, int32_t anchorX, int32_t anchorY) {
    const float det = a * d - c * b;
    if (!(std::fabs(det) > 0.0f)) {
        return nullptr;
    }
    const float ia = d / det;
    const float ic = -c / det;
    const float ib = -b / det;
    const float id = a / det;
    const float u[4] = {float(-anchorX), float(source.width() - anchorX), float(source.width() - anchorX),
                        float(-anchorX)};
    const float v[4] = {float(-anchorY), float(-anchorY), float(source.height() - anchorY),
                        float(source.height() - anchorY)};
    float xs[4];
    float ys[4];
    for (int k = 0; k < 4; ++k) {
        xs[k] = a * u[k] + c * v[k];
        ys[k] = b * u[k] + d * v[k];
    }
    const double minX = std::floor(*std::min_element(xs, xs + 4));
    const double minY = std::floor(*std::min_element(ys, ys + 4));
    const double width = std::ceil(*std::max_element(xs, xs + 4)) - minX;
    const double height = std::ceil(*std::max_element(ys, ys + 4)) - minY;
    if (!(width >= 1 && height >= 1 && width <= 32768 && height <= 32768)) {
        return nullptr;
    }
    std::unique_ptr<sysCanvas> result = sysCanvas::create(int32_t(width), int32_t(height), CanvasPlaced,
                                                          source.surface().format(), source.owner(), source.font());
    if (!result) {
        return nullptr;
    }
    result->setHandle(-int32_t(minX), -int32_t(minY));
    result->setMaskColour(source.maskColour());
    const Surface& pixels = source.surface();
    const PixelFormat& format = source.pixelFormat();
    const bool drawable = result->lock();
    if (drawable) {
        for (int32_t i = 0; i < result->height(); ++i) {
            for (int32_t j = 0; j < result->width(); ++j) {
                const float p = float(minX) + 0.5f + float(j);
                const float q = float(minY) + 0.5f + float(i);
                const float sx = std::floor(ia * p + ic * q + float(anchorX));
                const float sy = std::floor(ib * p + id * q + float(anchorY));
                uint32_t argb = source.maskColour();
                if (sx >= 0 && sy >= 0 && sx < float(source.width()) && sy < float(source.height())) {
                    argb = format.read(pixels.pixels() + int32_t(sy) * pixels.pitch() +
                                       int32_t(sx) * format.bytesPerPixel);
                }
                result->setPixelRaw(j, i, argb);
            }
        }
    }
    result->unlock();
    return drawable ? std::move(result) : nullptr;
}
