// The rectangle blit between canvases: the destination is clipped to the destination's
// viewport and the source to the source's surface, each clip moving its partner's edges by
// the same amounts, so the picture never shifts or stretches. Solid or colour-keyed copy.
#include "graphics/canvas.h"

namespace {

struct Edges {
    int64_t left, top, right, bottom;
};

// Pulls rect inside clip and moves partner's matching edges by the same signed amounts.
// False when rect is empty or does not meet the clip.
inline __attribute__((always_inline)) bool clipPair(Edges& rect, Edges& partner, const SurfaceRect& clip) {
    if (rect.right <= rect.left || rect.bottom <= rect.top || clip.empty() || rect.left >= clip.right ||
        clip.left >= rect.right || rect.top >= clip.bottom || clip.top >= rect.bottom) {
        return false;
    }
    if (clip.left > rect.left) {
        partner.left += clip.left - rect.left;
        rect.left = clip.left;
    }
    if (clip.top > rect.top) {
        partner.top += clip.top - rect.top;
        rect.top = clip.top;
    }
    if (clip.right < rect.right) {
        partner.right += clip.right - rect.right;
        rect.right = clip.right;
    }
    if (clip.bottom < rect.bottom) {
        partner.bottom += clip.bottom - rect.bottom;
        rect.bottom = clip.bottom;
    }
    return true;
}

SurfaceRect narrow(const Edges& e) {
    return {int32_t(e.left), int32_t(e.top), int32_t(e.right), int32_t(e.bottom)};
}

}  // namespace

void sysCanvas::blit(int32_t dx, int32_t dy, const sysCanvas& source, int32_t sx, int32_t sy, int32_t width,
                     int32_t height, bool solid) {
    const int64_t left = int64_t(dx) + originX_ - source.handleX_;
    const int64_t top = int64_t(dy) + originY_ - source.handleY_;
    Edges dst{left, top, left + width, top + height};
    Edges src{sx, sy, int64_t(sx) + width, int64_t(sy) + height};
    if (!clipPair(dst, src, viewport_) || !clipPair(src, dst, source.surfaceRect_)) {
        return;
    }
    const SurfaceRect d = narrow(dst);
    surface_->copy(d, *source.surface_, narrow(src), !solid, source.maskColour_);
    finishDrawing(d);
}
