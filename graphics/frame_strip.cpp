// Cutting frames from a strip: whole cells only, so a partial cell at the right or bottom
// edge is never used.
#include "graphics/frame_strip.h"

#include <vector>

#include "basic/ks_error.h"
#include "graphics/graphics_state.h"
#include "graphics/image.h"
#include "graphics/sys_graphics.h"

void checkStripArguments(int32_t first, int32_t count) {
    if (count <= 0) {
        runtimeError("Illegal frame count");
    }
    if (first < 0) {
        runtimeError("Illegal first frame");
    }
}

Image* imageFromStrip(const sysCanvas& strip, int32_t cellWidth, int32_t cellHeight, int32_t first,
                      int32_t count) {
    const int64_t columns = cellWidth > 0 ? strip.width() / cellWidth : 0;
    const int64_t rows = cellHeight > 0 ? strip.height() / cellHeight : 0;
    if (rows * columns < int64_t(first) + count) {
        runtimeError("Not enough frames in bitmap");
    }
    GraphicsState& g = graphicsState;
    int32_t x = int32_t(first % columns) * cellWidth;
    int32_t y = int32_t(first / columns) * cellHeight;
    std::vector<sysCanvas*> frames;
    for (int32_t made = 0; made < count; ++made) {
        sysCanvas* frame = g.display->createCanvas(cellWidth, cellHeight, CanvasPlaced);
        if (!frame) {
            releaseFrames(frames);
            return nullptr;
        }
        frames.push_back(frame);
        frame->blit(0, 0, strip, x, y, cellWidth, cellHeight, true);
        if (g.autoMidHandle) {
            frame->setHandle(cellWidth / 2, cellHeight / 2);
        }
        x += cellWidth;
        if (strip.width() < int64_t(x) + cellWidth) {
            x = 0;
            y += cellHeight;
        }
    }
    return registerImage(std::move(frames));
}
