// The image commands: loading, creating, copying and freeing images, drawing and tiling
// frames, grabbing the screen, masks and handles, and the transforms.
#include <algorithm>
#include <cmath>
#include <vector>

#include "basic/ks_error.h"
#include "basic/ks_str.h"
#include "graphics/frame_strip.h"
#include "graphics/frame_transform.h"
#include "graphics/graphics_commands.h"
#include "graphics/graphics_state.h"
#include "graphics/image.h"
#include "graphics/image_file.h"
#include "graphics/sys_graphics.h"
#include "graphics/tiling.h"
#include "runtime/entry.h"

namespace {

GraphicsState& g = graphicsState;

constexpr float kRadiansPerDegree = 0.017453292f;

Image* imageOf(int32_t handle) {
    return reinterpret_cast<Image*>(uintptr_t(uint32_t(handle)));
}

// Validates (image, 0) and returns the image, for the commands that act on every frame.
Image* wholeImage(int32_t handle) {
    gfxcmd::imageFrame(handle, 0);
    return imageOf(handle);
}

// A size or handle of frame 0 (validated), 0 for an image without frames.
int32_t ofFrameZero(int32_t handle, int32_t (sysCanvas::*read)() const) {
    const sysCanvas* frame = gfxcmd::imageFrame(handle, 0);
    return frame ? (frame->*read)() : 0;
}

void centreIfAutoMidHandle(sysCanvas* frame) {
    if (g.autoMidHandle) {
        frame->setHandle(frame->width() / 2, frame->height() / 2);
    }
}

// A 64-bit sum held to the 32-bit range: a position that far away is outside every canvas
// either way, and must not wrap round into it.
int32_t clampedSum(int64_t sum) {
    return int32_t(std::clamp<int64_t>(sum, INT32_MIN, INT32_MAX));
}

// Replaces every frame by its transform; a frame whose result would be too large, empty or
// unbounded stays as it was.
void transformImage(int32_t handle, float a, float b, float c, float d) {
    Image* image = wholeImage(handle);
    leaveImageBuffers(*image);
    for (sysCanvas*& frame : image->frames) {
        std::unique_ptr<sysCanvas> made = transformFrame(*frame, a, b, c, d, frame->handleX(), frame->handleY());
        if (made) {
            sysCanvas* adopted = g.display->adoptCanvas(std::move(made));
            g.display->freeCanvas(frame);
            frame = adopted;
        }
    }
}

}  // namespace

namespace gfxcmd {

sysCanvas* imageFrame(int32_t handle, int32_t frame) {
    Image* image = imageOf(handle);
    if (debugMode && !isLiveImage(image)) {
        runtimeError("Image does not exist");
    }
    const bool inRange = uint32_t(frame) < image->frames.size();
    if (debugMode && !inRange) {
        runtimeError("Image frame out of range");
    }
    return inRange ? image->frames[size_t(uint32_t(frame))] : nullptr;
}

int32_t loadImage(ksStr* file) {
    const std::string name = ksStrTake(file);
    sysCanvas* canvas = g.display->loadCanvas(name, CanvasPlaced);
    if (!canvas) {
        return 0;
    }
    centreIfAutoMidHandle(canvas);
    return int32_t(handleOf(registerImage({canvas})));
}

int32_t copyImage(int32_t image) {
    const Image* source = wholeImage(image);
    std::vector<sysCanvas*> frames;
    for (sysCanvas* frame : source->frames) {
        sysCanvas* copy = g.display->createCanvas(frame->width(), frame->height(), CanvasPlaced);
        if (!copy) {
            releaseFrames(frames);
            return 0;
        }
        frames.push_back(copy);
        const int32_t hx = frame->handleX();
        const int32_t hy = frame->handleY();
        frame->setHandle(0, 0);
        copy->blit(0, 0, *frame, 0, 0, frame->width(), frame->height(), true);
        frame->setHandle(hx, hy);
        copy->setHandle(hx, hy);
        copy->setMaskColour(frame->maskColour());
    }
    return int32_t(handleOf(registerImage(std::move(frames))));
}

// A count below 1 makes an image without frames; sizes below 1 make no canvas, so 0.
int32_t createImage(int32_t width, int32_t height, int32_t frames) {
    std::vector<sysCanvas*> made;
    for (int32_t i = 0; i < frames; ++i) {
        sysCanvas* frame = g.display->createCanvas(width, height, CanvasPlaced);
        if (!frame) {
            releaseFrames(made);
            return 0;
        }
        centreIfAutoMidHandle(frame);
        made.push_back(frame);
    }
    return int32_t(handleOf(registerImage(std::move(made))));
}

int32_t loadAnimImage(ksStr* file, int32_t cellWidth, int32_t cellHeight, int32_t first, int32_t count) {
    const std::string name = ksStrTake(file);
    checkStripArguments(first, count);
    const std::unique_ptr<sysCanvas> strip = g.display->loadOwnedCanvas(name, CanvasSystemMemory);
    if (!strip) {
        return 0;
    }
    return int32_t(handleOf(imageFromStrip(*strip, cellWidth, cellHeight, first, count)));
}

void freeImage(int32_t image) { ::freeImage(imageOf(image)); }

int32_t saveImage(int32_t image, ksStr* file, int32_t frame) {
    const std::string name = ksStrTake(file);
    sysCanvas* canvas = imageFrame(image, frame);
    return canvas && saveCanvasBitmap(*canvas, name) ? 1 : 0;
}

void grabImage(int32_t image, int32_t x, int32_t y, int32_t frame) {
    sysCanvas* canvas = imageFrame(image, frame);
    if (!canvas) {
        return;
    }
    const sysCanvas& buffer = *g.buffer;
    canvas->setViewport(0, 0, canvas->width(), canvas->height());
    canvas->blit(0, 0, buffer, clampedSum(int64_t(x) + buffer.originX() - canvas->handleX()),
                 clampedSum(int64_t(y) + buffer.originY() - canvas->handleY()), canvas->width(),
                 canvas->height(), true);
}

int32_t imageBuffer(int32_t image, int32_t frame) { return int32_t(handleOf(imageFrame(image, frame))); }

void drawFrame(int32_t image, int32_t x, int32_t y, int32_t frame, bool solid) {
    if (const sysCanvas* canvas = imageFrame(image, frame)) {
        g.buffer->blit(x, y, *canvas, 0, 0, canvas->width(), canvas->height(), solid);
    }
}

void drawImage(int32_t image, int32_t x, int32_t y, int32_t frame) { drawFrame(image, x, y, frame, false); }
void drawBlock(int32_t image, int32_t x, int32_t y, int32_t frame) { drawFrame(image, x, y, frame, true); }

void tile(int32_t image, int32_t x, int32_t y, int32_t frame, bool solid) {
    if (const sysCanvas* canvas = imageFrame(image, frame)) {
        tileFrame(*g.buffer, *canvas, x, y, solid);
    }
}

void tileImage(int32_t image, int32_t x, int32_t y, int32_t frame) { tile(image, x, y, frame, false); }
void tileBlock(int32_t image, int32_t x, int32_t y, int32_t frame) { tile(image, x, y, frame, true); }

void drawImageRect(int32_t image, int32_t x, int32_t y, int32_t rectX, int32_t rectY, int32_t rectWidth,
                   int32_t rectHeight, int32_t frame) {
    if (const sysCanvas* canvas = imageFrame(image, frame)) {
        g.buffer->blit(x, y, *canvas, rectX, rectY, rectWidth, rectHeight, false);
    }
}

void drawBlockRect(int32_t image, int32_t x, int32_t y, int32_t rectX, int32_t rectY, int32_t rectWidth,
                   int32_t rectHeight, int32_t frame) {
    if (const sysCanvas* canvas = imageFrame(image, frame)) {
        g.buffer->blit(x, y, *canvas, rectX, rectY, rectWidth, rectHeight, true);
    }
}

// A collision mask already built follows the new colour at once, so collisions never test
// against the old one.
void maskImage(int32_t image, int32_t red, int32_t green, int32_t blue) {
    const uint32_t colour = composeColour(red, green, blue);
    for (sysCanvas* frame : wholeImage(image)->frames) {
        frame->setMaskColour(colour);
        frame->rebuildCollisionMask(frame->surfaceRect());
    }
}

void handleImage(int32_t image, int32_t x, int32_t y) {
    for (sysCanvas* frame : wholeImage(image)->frames) {
        frame->setHandle(x, y);
    }
}

void midHandle(int32_t image) {
    for (sysCanvas* frame : wholeImage(image)->frames) {
        frame->setHandle(frame->width() / 2, frame->height() / 2);
    }
}

void autoMidHandle(int32_t enable) { g.autoMidHandle = enable != 0; }

int32_t imageWidth(int32_t image) { return ofFrameZero(image, &sysCanvas::width); }
int32_t imageHeight(int32_t image) { return ofFrameZero(image, &sysCanvas::height); }
int32_t imageXHandle(int32_t image) { return ofFrameZero(image, &sysCanvas::handleX); }
int32_t imageYHandle(int32_t image) { return ofFrameZero(image, &sysCanvas::handleY); }

void scaleImage(int32_t image, float xScale, float yScale) { transformImage(image, xScale, 0.0f, 0.0f, yScale); }

void resizeImage(int32_t image, float width, float height) {
    if (const sysCanvas* frame = imageFrame(image, 0)) {
        transformImage(image, width / float(frame->width()), 0.0f, 0.0f, height / float(frame->height()));
    }
}

void rotateImage(int32_t image, float angle) {
    const float t = -angle * kRadiansPerDegree;
    const float cosine = std::cos(t);
    const float sine = std::sin(t);
    transformImage(image, cosine, -sine, sine, cosine);
}

void tFormImage(int32_t image, float a, float b, float c, float d) { transformImage(image, a, b, c, d); }

void tFormFilter(int32_t enable) { g.transformFilter = enable != 0; }

}  // namespace gfxcmd

void image_commands_link(LinkCallback callback) {
    using namespace gfxcmd;
    callback("%LoadImage$bmpfile", ksEntry<&loadImage>());
    callback("%CopyImage%image", ksEntry<&copyImage>());
    callback("%CreateImage%width%height%frames=1", ksEntry<&createImage>());
    callback("%LoadAnimImage$bmpfile%cellwidth%cellheight%first%count", ksEntry<&loadAnimImage>());
    callback("FreeImage%image", ksEntry<&gfxcmd::freeImage>());
    callback("%SaveImage%image$bmpfile%frame=0", ksEntry<&saveImage>());
    callback("GrabImage%image%x%y%frame=0", ksEntry<&grabImage>());
    callback("%ImageBuffer%image%frame=0", ksEntry<&imageBuffer>());
    callback("DrawImage%image%x%y%frame=0", ksEntry<&drawImage>());
    callback("DrawBlock%image%x%y%frame=0", ksEntry<&drawBlock>());
    callback("TileImage%image%x=0%y=0%frame=0", ksEntry<&tileImage>());
    callback("TileBlock%image%x=0%y=0%frame=0", ksEntry<&tileBlock>());
    callback("DrawImageRect%image%x%y%rect_x%rect_y%rect_width%rect_height%frame=0", ksEntry<&drawImageRect>());
    callback("DrawBlockRect%image%x%y%rect_x%rect_y%rect_width%rect_height%frame=0", ksEntry<&drawBlockRect>());
    callback("MaskImage%image%red%green%blue", ksEntry<&maskImage>());
    callback("HandleImage%image%x%y", ksEntry<&handleImage>());
    callback("MidHandle%image", ksEntry<&midHandle>());
    callback("AutoMidHandle%enable", ksEntry<&autoMidHandle>());
    callback("%ImageWidth%image", ksEntry<&imageWidth>());
    callback("%ImageHeight%image", ksEntry<&imageHeight>());
    callback("%ImageXHandle%image", ksEntry<&imageXHandle>());
    callback("%ImageYHandle%image", ksEntry<&imageYHandle>());
    callback("ScaleImage%image#xscale#yscale", ksEntry<&scaleImage>());
    callback("ResizeImage%image#width#height", ksEntry<&resizeImage>());
    callback("RotateImage%image#angle", ksEntry<&rotateImage>());
    callback("TFormImage%image#a#b#c#d", ksEntry<&tFormImage>());
    callback("TFormFilter%enable", ksEntry<&tFormFilter>());
}
