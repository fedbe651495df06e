// Placeholders until the image file loader and the bitmap writer land: no file loads and
// none is written, so the commands that use them answer 0.
#include "graphics/image_file.h"

#include "graphics/sys_graphics.h"

sysCanvas* sysGraphics::loadCanvas(const std::string&, uint32_t) {
    return nullptr;
}

std::unique_ptr<sysCanvas> loadCanvasFile(sysGraphics&, const std::string&, uint32_t) {
    return nullptr;
}

bool saveCanvasBitmap(sysCanvas&, const std::string&) {
    return false;
}
