// The overlap and collision commands: bounding boxes of images and rectangles, and
// pixel-exact tests of frames against frames and rectangles.
#include "graphics/collision.h"
#include "graphics/graphics_commands.h"
#include "runtime/entry.h"

namespace gfxcmd {

int32_t imagesOverlap(int32_t image1, int32_t x1, int32_t y1, int32_t image2, int32_t x2, int32_t y2) {
    const sysCanvas* a = imageFrame(image1, 0);
    const sysCanvas* b = imageFrame(image2, 0);
    return a && b && framesOverlap(*a, x1, y1, *b, x2, y2) ? 1 : 0;
}

int32_t imagesCollide(int32_t image1, int32_t x1, int32_t y1, int32_t frame1, int32_t image2, int32_t x2,
                      int32_t y2, int32_t frame2) {
    sysCanvas* a = imageFrame(image1, frame1);
    sysCanvas* b = imageFrame(image2, frame2);
    return a && b && framesCollide(*a, x1, y1, *b, x2, y2) ? 1 : 0;
}

int32_t rectsOverlap(int32_t x1, int32_t y1, int32_t width1, int32_t height1, int32_t x2, int32_t y2,
                     int32_t width2, int32_t height2) {
    return ::rectsOverlap(x1, y1, width1, height1, x2, y2, width2, height2) ? 1 : 0;
}

int32_t imageRectOverlap(int32_t image, int32_t x, int32_t y, int32_t rectX, int32_t rectY, int32_t rectWidth,
                         int32_t rectHeight) {
    const sysCanvas* frame = imageFrame(image, 0);
    return frame && frameRectOverlap(*frame, x, y, rectX, rectY, rectWidth, rectHeight) ? 1 : 0;
}

int32_t imageRectCollide(int32_t image, int32_t x, int32_t y, int32_t frame, int32_t rectX, int32_t rectY,
                         int32_t rectWidth, int32_t rectHeight) {
    sysCanvas* canvas = imageFrame(image, frame);
    return canvas && frameRectCollide(*canvas, x, y, rectX, rectY, rectWidth, rectHeight) ? 1 : 0;
}

}  // namespace gfxcmd

void collision_commands_link(LinkCallback callback) {
    using namespace gfxcmd;
    callback("%ImagesOverlap%image1%x1%y1%image2%x2%y2", ksEntry<&imagesOverlap>());
    callback("%ImagesCollide%image1%x1%y1%frame1%image2%x2%y2%frame2", ksEntry<&imagesCollide>());
    callback("%RectsOverlap%x1%y1%width1%height1%x2%y2%width2%height2", ksEntry<&gfxcmd::rectsOverlap>());
    callback("%ImageRectOverlap%image%x%y%rect_x%rect_y%rect_width%rect_height", ksEntry<&imageRectOverlap>());
    callback("%ImageRectCollide%image%x%y%frame%rect_x%rect_y%rect_width%rect_height",
             ksEntry<&imageRectCollide>());
}
