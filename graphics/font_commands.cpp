// The font commands: loading and freeing fonts, and measuring with the module font.
#include "basic/ks_error.h"
#include "basic/ks_str.h"
#include "graphics/graphics_commands.h"
#include "graphics/graphics_state.h"
#include "graphics/sys_font.h"
#include "graphics/sys_graphics.h"
#include "runtime/entry.h"

namespace {

GraphicsState& g = graphicsState;

}  // namespace

namespace gfxcmd {

int32_t loadFont(ksStr* name, int32_t height, int32_t bold, int32_t italic, int32_t underline) {
    const std::string face = ksStrTake(name);
    const int32_t flags = (bold != 0 ? 1 : 0) | (italic != 0 ? 2 : 0) | (underline != 0 ? 4 : 0);
    return int32_t(handleOf(g.display->loadFont(face, height, flags)));
}

// The display's default font is never freed before the display closes, so freeing it
// changes nothing and buffers that use it keep drawing text.
void freeFont(int32_t font) {
    sysFont* known = g.display->verifyFont(uint32_t(font));
    if (!known) {
        if (debugMode) {
            runtimeError("Font does not exist");
        }
        return;
    }
    if (known == g.display->defaultFont()) {
        return;
    }
    if (known == g.font) {
        g.font = g.display->defaultFont();
        g.buffer->setFont(g.font);
    }
    g.display->freeFont(known);
}

int32_t fontWidth() { return g.font ? g.font->widestAdvance() : 0; }
int32_t fontHeight() { return moduleFontHeight(); }

int32_t stringWidth(ksStr* string) {
    const int32_t width = moduleTextWidth(ksStrView(string));
    ksStrRelease(string);
    return width;
}

int32_t stringHeight(ksStr* string) {
    ksStrRelease(string);
    return moduleFontHeight();
}

}  // namespace gfxcmd

void font_commands_link(LinkCallback callback) {
    using namespace gfxcmd;
    callback("%LoadFont$fontname%height=12%bold=0%italic=0%underline=0", ksEntry<&loadFont>());
    callback("FreeFont%font", ksEntry<&freeFont>());
    callback("%FontWidth", ksEntry<&fontWidth>());
    callback("%FontHeight", ksEntry<&fontHeight>());
    callback("%StringWidth$string", ksEntry<&stringWidth>());
    callback("%StringHeight$string", ksEntry<&stringHeight>());
}
