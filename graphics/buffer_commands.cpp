// The drawing commands: choosing the buffer, loading and saving it, pixel access, colours,
// origin and viewport, primitives, text, rectangle copies and the pointer.
#include "basic/ks_error.h"
#include "basic/ks_str.h"
#include "graphics/frame_transform.h"
#include "graphics/graphics_commands.h"
#include "graphics/graphics_state.h"
#include "graphics/image_file.h"
#include "graphics/sys_font.h"
#include "graphics/sys_graphics.h"
#include "host/sys_runtime.h"
#include "runtime/entry.h"

namespace {

GraphicsState& g = graphicsState;

sysCanvas* bufferOf(int32_t handle) {
    return reinterpret_cast<sysCanvas*>(uintptr_t(uint32_t(handle)));
}

// A buffer argument that must name a buffer: checked against the display in debug mode.
sysCanvas* validatedBuffer(int32_t handle) {
    if (debugMode && !g.display->verifyCanvas(uint32_t(handle))) {
        runtimeError("Buffer does not exist");
    }
    return bufferOf(handle);
}

// An optional buffer argument: 0 is the current buffer; others are validated.
sysCanvas* optionalBuffer(int32_t handle) {
    return handle == 0 ? g.buffer : validatedBuffer(handle);
}

// An optional buffer argument of the unchecked commands.
sysCanvas* uncheckedBuffer(int32_t handle) {
    return handle == 0 ? g.buffer : bufferOf(handle);
}

}  // namespace

namespace gfxcmd {

uint32_t composeColour(int32_t red, int32_t green, int32_t blue) {
    return (uint32_t(red) << 16) | (uint32_t(green) << 8) | uint32_t(blue);
}

void setBuffer(int32_t buffer) { selectBuffer(validatedBuffer(buffer)); }

int32_t graphicsBuffer() { return int32_t(handleOf(g.buffer)); }

// The picture is stretched over the whole buffer by the frame transform (so the filter
// setting applies) and drawn at the buffer's top-left corner whatever its origin.
int32_t loadBuffer(int32_t buffer, ksStr* file) {
    const std::string name = ksStrTake(file);
    sysCanvas* dest = validatedBuffer(buffer);
    std::unique_ptr<sysCanvas> picture = g.display->loadOwnedCanvas(name, CanvasPlaced);
    if (!picture) {
        return 0;
    }
    const float xScale = float(dest->width()) / float(picture->width());
    const float yScale = float(dest->height()) / float(picture->height());
    const std::unique_ptr<sysCanvas> scaled = transformFrame(*picture, xScale, 0, 0, yScale, 0, 0);
    picture.reset();
    if (!scaled) {
        return 0;
    }
    const int32_t originX = dest->originX();
    const int32_t originY = dest->originY();
    dest->setOrigin(0, 0);
    dest->blit(0, 0, *scaled, 0, 0, scaled->width(), scaled->height(), true);
    dest->setOrigin(originX, originY);
    return 1;
}

int32_t saveBuffer(int32_t buffer, ksStr* file) {
    const std::string name = ksStrTake(file);
    return saveCanvasBitmap(*validatedBuffer(buffer), name) ? 1 : 0;
}

void lockBuffer(int32_t buffer) { optionalBuffer(buffer)->lock(); }
void unlockBuffer(int32_t buffer) { optionalBuffer(buffer)->unlock(); }

int32_t readPixel(int32_t x, int32_t y, int32_t buffer) {
    return int32_t(optionalBuffer(buffer)->getPixel(x, y));
}

void writePixel(int32_t x, int32_t y, int32_t argb, int32_t buffer) {
    optionalBuffer(buffer)->setPixel(x, y, uint32_t(argb));
}

int32_t readPixelFast(int32_t x, int32_t y, int32_t buffer) {
    return int32_t(uncheckedBuffer(buffer)->getPixelRaw(x, y));
}

void writePixelFast(int32_t x, int32_t y, int32_t argb, int32_t buffer) {
    uncheckedBuffer(buffer)->setPixelRaw(x, y, uint32_t(argb));
}

void copyPixel(int32_t srcX, int32_t srcY, int32_t srcBuffer, int32_t destX, int32_t destY, int32_t destBuffer) {
    uncheckedBuffer(destBuffer)->copyPixel(destX, destY, *uncheckedBuffer(srcBuffer), srcX, srcY);
}

void copyPixelFast(int32_t srcX, int32_t srcY, int32_t srcBuffer, int32_t destX, int32_t destY,
                   int32_t destBuffer) {
    uncheckedBuffer(destBuffer)->copyPixelRaw(destX, destY, *uncheckedBuffer(srcBuffer), srcX, srcY);
}

void origin(int32_t x, int32_t y) { g.buffer->setOrigin(x, y); }

void viewport(int32_t x, int32_t y, int32_t width, int32_t height) { g.buffer->setViewport(x, y, width, height); }

void color(int32_t red, int32_t green, int32_t blue) {
    g.colour = composeColour(red, green, blue);
    g.buffer->setColour(g.colour);
}

void getColor(int32_t x, int32_t y) {
    g.colour = g.buffer->getPixel(x, y);
    g.buffer->setColour(g.colour);
}

// The colour as the buffer holds it, so a 5-6-5 buffer answers 248 for 255.
int32_t colorRed() { return int32_t((g.buffer->colour() >> 16) & 255); }
int32_t colorGreen() { return int32_t((g.buffer->colour() >> 8) & 255); }
int32_t colorBlue() { return int32_t(g.buffer->colour() & 255); }

void clsColor(int32_t red, int32_t green, int32_t blue) {
    g.clsColour = composeColour(red, green, blue);
    g.buffer->setClsColour(g.clsColour);
}

// A handle the display does not know is an error in debug mode and ignored otherwise: a
// freed font must never be drawn with.
void setFont(int32_t font) {
    sysFont* known = g.display->verifyFont(uint32_t(font));
    if (!known) {
        if (debugMode) {
            runtimeError("Font does not exist");
        }
        return;
    }
    g.font = known;
    g.buffer->setFont(known);
}

void cls() { g.buffer->clear(); }
void plot(int32_t x, int32_t y) { g.buffer->plot(x, y); }
void rect(int32_t x, int32_t y, int32_t width, int32_t height, int32_t solid) {
    g.buffer->rect(x, y, width, height, solid != 0);
}
void oval(int32_t x, int32_t y, int32_t width, int32_t height, int32_t solid) {
    g.buffer->oval(x, y, width, height, solid != 0);
}
void line(int32_t x1, int32_t y1, int32_t x2, int32_t y2) { g.buffer->line(x1, y1, x2, y2); }

void text(int32_t x, int32_t y, ksStr* string, int32_t centreX, int32_t centreY) {
    const std::string chars = ksStrTake(string);
    if (centreX != 0) {
        x -= moduleTextWidth(chars) / 2;
    }
    if (centreY != 0) {
        y -= moduleFontHeight() / 2;
    }
    g.buffer->text(x, y, chars);
}

void copyRect(int32_t sourceX, int32_t sourceY, int32_t width, int32_t height, int32_t destX, int32_t destY,
              int32_t srcBuffer, int32_t destBuffer) {
    sysCanvas* source = optionalBuffer(srcBuffer);
    sysCanvas* dest = optionalBuffer(destBuffer);
    dest->blit(destX, destY, *source, sourceX, sourceY, width, height, true);
}

void showPointer() { currentRuntime->setPointerVisible(true); }
void hidePointer() { currentRuntime->setPointerVisible(false); }

}  // namespace gfxcmd

void buffer_commands_link(LinkCallback callback) {
    using namespace gfxcmd;
    callback("SetBuffer%buffer", ksEntry<&setBuffer>());
    callback("%GraphicsBuffer", ksEntry<&graphicsBuffer>());
    callback("%LoadBuffer%buffer$bmpfile", ksEntry<&loadBuffer>());
    callback("%SaveBuffer%buffer$bmpfile", ksEntry<&saveBuffer>());
    callback("LockBuffer%buffer=0", ksEntry<&lockBuffer>());
    callback("UnlockBuffer%buffer=0", ksEntry<&unlockBuffer>());
    callback("%ReadPixel%x%y%buffer=0", ksEntry<&readPixel>());
    callback("WritePixel%x%y%argb%buffer=0", ksEntry<&writePixel>());
    callback("%ReadPixelFast%x%y%buffer=0", ksEntry<&readPixelFast>());
    callback("WritePixelFast%x%y%argb%buffer=0", ksEntry<&writePixelFast>());
    callback("CopyPixel%src_x%src_y%src_buffer%dest_x%dest_y%dest_buffer=0", ksEntry<&copyPixel>());
    callback("CopyPixelFast%src_x%src_y%src_buffer%dest_x%dest_y%dest_buffer=0", ksEntry<&copyPixelFast>());
    callback("Origin%x%y", ksEntry<&origin>());
    callback("Viewport%x%y%width%height", ksEntry<&viewport>());
    callback("Color%red%green%blue", ksEntry<&color>());
    callback("GetColor%x%y", ksEntry<&getColor>());
    callback("%ColorRed", ksEntry<&colorRed>());
    callback("%ColorGreen", ksEntry<&colorGreen>());
    callback("%ColorBlue", ksEntry<&colorBlue>());
    callback("ClsColor%red%green%blue", ksEntry<&clsColor>());
    callback("SetFont%font", ksEntry<&setFont>());
    callback("Cls", ksEntry<&cls>());
    callback("Plot%x%y", ksEntry<&plot>());
    callback("Rect%x%y%width%height%solid=1", ksEntry<&rect>());
    callback("Oval%x%y%width%height%solid=1", ksEntry<&oval>());
    callback("Line%x1%y1%x2%y2", ksEntry<&line>());
    callback("Text%x%y$text%centre_x=0%centre_y=0", ksEntry<&text>());
    callback("CopyRect%source_x%source_y%width%height%dest_x%dest_y%src_buffer=0%dest_buffer=0",
             ksEntry<&copyRect>());
    callback("ShowPointer", ksEntry<&showPointer>());
    callback("HidePointer", ksEntry<&hidePointer>());
}
