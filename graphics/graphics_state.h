// The graphics module's state: the open display, the chosen driver and its mode cache,
// the current buffer with the colours and font the module hands to buffers, and the
// text console. Reset by module creation and by every new display.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "graphics/canvas.h"

class sysGraphics;
class sysFont;

struct ModeCacheEntry {
    int32_t width;
    int32_t height;
    int32_t depth;
    int32_t flags;  // always 0
};

// The console's cursor in front-buffer pixels, and what console output changed on the
// front buffer, put back when it ends.
struct ConsoleState {
    int32_t x = 0;
    int32_t y = 0;
    int32_t savedOriginX = 0;
    int32_t savedOriginY = 0;
    int32_t savedHandleX = 0;
    int32_t savedHandleY = 0;
    SurfaceRect savedViewport;
};

struct GraphicsState {
    sysGraphics* display = nullptr;
    int32_t driverIndex = 0;  // 0-based
    std::vector<ModeCacheEntry> modeCache;
    bool modeChosen = false;
    sysCanvas* buffer = nullptr;
    uint32_t colour = 0xFFFFFFFF;
    uint32_t clsColour = 0;
    sysFont* font = nullptr;
    ConsoleState console;
    std::unique_ptr<sysCanvas> inputScratch;
    // Set at module creation and kept across displays: frames made by LoadImage,
    // CreateImage and LoadAnimImage get the centred handle; transforms sample bilinearly.
    bool autoMidHandle = false;
    bool transformFilter = true;
};

extern GraphicsState graphicsState;

// Makes `canvas` current: console cursor and the canvas's origin reset, viewport the whole
// canvas, and the module's colour, Cls colour and font given to it.
void selectBuffer(sysCanvas* canvas);
// What a new display starts with: Cls colour 0, colour opaque white, the display's default
// font, the front buffer current.
void applyDisplayDefaults();
// Frees what the program made on the display that is about to close (every image and the
// console's line-editing canvas).
void releaseDisplayObjects();
// Closes the open display (if any) and opens another; false when none could be opened.
bool replaceDisplay(int32_t width, int32_t height, int32_t depth, int32_t driver, int32_t flags);
// The module font's cell height and the width of a text in it (0 without a font).
int32_t moduleFontHeight();
int32_t moduleTextWidth(std::string_view text);
