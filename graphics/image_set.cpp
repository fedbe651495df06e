// The set of live images and the freeing of one image or of all of them.
#include <algorithm>
#include <set>

#include "graphics/graphics_state.h"
#include "graphics/image.h"
#include "graphics/sys_graphics.h"

namespace {

std::set<Image*> liveImages;

}  // namespace

Image* registerImage(std::vector<sysCanvas*> frames) {
    Image* image = new Image{std::move(frames)};
    liveImages.insert(image);
    return image;
}

bool isLiveImage(const Image* image) {
    return liveImages.count(const_cast<Image*>(image)) != 0;
}

size_t liveImageCount() {
    return liveImages.size();
}

void leaveImageBuffers(const Image& image) {
    GraphicsState& g = graphicsState;
    const auto& frames = image.frames;
    if (g.display && std::find(frames.begin(), frames.end(), g.buffer) != frames.end()) {
        selectBuffer(g.display->frontCanvas());
    }
}

void releaseFrames(const std::vector<sysCanvas*>& frames) {
    // Without a display the frames went with it.
    if (sysGraphics* display = graphicsState.display) {
        for (sysCanvas* frame : frames) {
            display->freeCanvas(frame);
        }
    }
}

void freeImage(Image* image) {
    if (liveImages.erase(image) == 0) {
        return;
    }
    leaveImageBuffers(*image);
    releaseFrames(image->frames);
    delete image;
}

void freeAllImages() {
    while (!liveImages.empty()) {
        freeImage(*liveImages.begin());
    }
}
