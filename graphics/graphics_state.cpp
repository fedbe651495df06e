// The graphics module's state and the steps that every new display shares.
#include "graphics/graphics_state.h"

#include "graphics/display_host.h"
#include "graphics/image.h"
#include "graphics/sys_font.h"
#include "graphics/sys_graphics.h"

GraphicsState graphicsState;

void selectBuffer(sysCanvas* canvas) {
    GraphicsState& g = graphicsState;
    g.buffer = canvas;
    g.console.x = 0;
    g.console.y = 0;
    canvas->setOrigin(0, 0);
    canvas->setViewport(0, 0, canvas->width(), canvas->height());
    canvas->setColour(g.colour);
    canvas->setClsColour(g.clsColour);
    canvas->setFont(g.font);
}

void applyDisplayDefaults() {
    GraphicsState& g = graphicsState;
    g.clsColour = 0;
    g.colour = 0xFFFFFFFF;
    g.font = g.display->defaultFont();
    selectBuffer(g.display->frontCanvas());
}

void releaseDisplayObjects() {
    freeAllImages();
    graphicsState.inputScratch.reset();
}

bool replaceDisplay(int32_t width, int32_t height, int32_t depth, int32_t driver, int32_t flags) {
    GraphicsState& g = graphicsState;
    closeGraphics(g.display);
    g.buffer = nullptr;
    g.font = nullptr;
    g.display = openGraphics(width, height, depth, driver, flags);
    return g.display != nullptr;
}

int32_t moduleFontHeight() {
    return graphicsState.font ? graphicsState.font->height() : 0;
}

int32_t moduleTextWidth(std::string_view text) {
    return graphicsState.font ? graphicsState.font->stringWidth(text) : 0;
}
