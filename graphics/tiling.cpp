// Tiling a frame over the destination's viewport, one blit per grid cell from the cell just
// above and left of the viewport, so partial copies cover its left and top edges.
#include "graphics/tiling.h"

#include "graphics/canvas.h"

namespace {

// The grid's phase on one axis: (position - start) mod size, where a negative difference
// gives size - ((start - position) mod size), so it lies in 1..size then.
int64_t phase(int64_t position, int64_t start, int64_t size) {
    const int64_t difference = position - start;
    return difference >= 0 ? difference % size : size - (-difference) % size;
}

}  // namespace

void tileFrame(sysCanvas& destination, const sysCanvas& frame, int32_t x, int32_t y, bool solid) {
    const int64_t w = frame.width();
    const int64_t h = frame.height();
    const SurfaceRect& view = destination.viewport();
    const int64_t dx = int64_t(view.left) - destination.originX() + frame.handleX();
    const int64_t dy = int64_t(view.top) - destination.originY() + frame.handleY();
    const int64_t ex = phase(x, dx, w);
    const int64_t ey = phase(y, dy, h);
    for (int64_t r = -h; r < view.height(); r += h) {
        for (int64_t g = -w; g < view.width(); g += w) {
            destination.blit(int32_t(dx + ex + g), int32_t(dy + ey + r), frame, 0, 0, int32_t(w), int32_t(h),
                             solid);
        }
    }
}
