// The display commands: drivers and modes, Graphics and EndGraphics, the two buffers,
// the vertical blank, Flip and the display's size and depth.
#include "basic/ks_error.h"
#include "basic/ks_str.h"
#include "graphics/display_host.h"
#include "graphics/graphics_commands.h"
#include "graphics/graphics_state.h"
#include "graphics/sys_graphics.h"
#include "runtime/entry.h"

namespace {

GraphicsState& g = graphicsState;

// 1-based driver index of a command, checked in debug mode.
int32_t driverArgument(int32_t driver) {
    if (debugMode && (driver < 1 || driver > countDisplayDrivers())) {
        runtimeError("Illegal graphics driver index");
    }
    return driver - 1;
}

// The ModeCache entry of a 1-based index; checked in debug mode, and never read outside
// the cache in any mode (an unchecked bad index reads as a zero mode).
ModeCacheEntry modeArgument(int32_t mode) {
    const bool inside = mode >= 1 && mode <= int32_t(g.modeCache.size());
    if (debugMode && !inside) {
        runtimeError("Illegal graphics mode index");
    }
    return inside ? g.modeCache[size_t(mode - 1)] : ModeCacheEntry{0, 0, 0, 0};
}

const DisplayDriverInfo* currentDriver() {
    countDisplayDrivers();
    return displayDriver(g.driverIndex);
}

// The video memory figures are byte counts that can exceed a 32-bit word; they saturate.
int32_t saturated(int64_t bytes) {
    return bytes > INT32_MAX ? INT32_MAX : int32_t(bytes);
}

// The steps every new display ends with: pump, fail without a display, start afresh.
void finishDisplayChange(bool opened, bool modeChosen) {
    pumpOrEnd();
    if (!opened) {
        runtimeError("Unable to set graphics mode");
    }
    g.modeChosen = modeChosen;
    applyDisplayDefaults();
}

}  // namespace

namespace gfxcmd {

int32_t countGfxDrivers() {
    return countDisplayDrivers();
}

ksStr* gfxDriverName(int32_t driver) {
    const DisplayDriverInfo* info = displayDriver(driverArgument(driver));
    return ksStrNew(info ? info->name.c_str() : "");
}

void setGfxDriver(int32_t driver) {
    g.driverIndex = driverArgument(driver);
    g.modeCache.clear();
}

int32_t countGfxModes() {
    g.modeCache.clear();
    if (const DisplayDriverInfo* info = currentDriver()) {
        for (const DisplayModeInfo& mode : info->modes) {
            g.modeCache.push_back({mode.width, mode.height, mode.depth, 0});
        }
    }
    return int32_t(g.modeCache.size());
}

int32_t gfxModeExists(int32_t width, int32_t height, int32_t depth) {
    if (const DisplayDriverInfo* info = currentDriver()) {
        for (const DisplayModeInfo& mode : info->modes) {
            if (mode.width == width && mode.height == height && mode.depth == depth) {
                return 1;
            }
        }
    }
    return 0;
}

int32_t gfxModeWidth(int32_t mode) { return modeArgument(mode).width; }
int32_t gfxModeHeight(int32_t mode) { return modeArgument(mode).height; }
int32_t gfxModeDepth(int32_t mode) { return modeArgument(mode).depth; }

int32_t availVidMem() { return saturated(g.display->videoMemoryFree()); }
int32_t totalVidMem() { return saturated(g.display->videoMemoryTotal()); }

void graphics(int32_t width, int32_t height, int32_t depth, int32_t mode) {
    int32_t flags = 0;
    switch (mode) {
        case 0: flags = debugMode ? OpenWindowed : 0; break;
        case 1: flags = 0; break;
        case 2: flags = OpenWindowed; break;
        case 3: flags = OpenWindowed | OpenScaled; break;
        default: runtimeError("Illegal Graphics mode");
    }
    releaseDisplayObjects();
    const bool opened = replaceDisplay(width, height, depth, g.driverIndex, flags);
    finishDisplayChange(opened, true);
}

void endGraphics() {
    releaseDisplayObjects();
    if (!g.modeChosen) {
        return;
    }
    const bool opened = replaceDisplay(400, 300, 0, 0, OpenWindowed);
    finishDisplayChange(opened, false);
}

int32_t frontBuffer() { return int32_t(handleOf(g.display->frontCanvas())); }
int32_t backBuffer() { return int32_t(handleOf(g.display->backCanvas())); }
int32_t scanLine() { return g.display->scanLine(); }

void vWait(int32_t) {
    g.display->verticalBlankWait();
    pumpOrEnd();
}

void flip(int32_t vwait) {
    g.display->flip(vwait != 0);
    pumpOrEnd();
}

int32_t graphicsWidth() { return g.display->width(); }
int32_t graphicsHeight() { return g.display->height(); }
int32_t graphicsDepth() { return g.display->depth(); }

}  // namespace gfxcmd

void display_commands_link(LinkCallback callback) {
    using namespace gfxcmd;
    callback("%CountGfxDrivers", ksEntry<&countGfxDrivers>());
    callback("$GfxDriverName%driver", ksEntry<&gfxDriverName>());
    callback("SetGfxDriver%driver", ksEntry<&setGfxDriver>());
    callback("%CountGfxModes", ksEntry<&countGfxModes>());
    callback("%GfxModeExists%width%height%depth", ksEntry<&gfxModeExists>());
    callback("%GfxModeWidth%mode", ksEntry<&gfxModeWidth>());
    callback("%GfxModeHeight%mode", ksEntry<&gfxModeHeight>());
    callback("%GfxModeDepth%mode", ksEntry<&gfxModeDepth>());
    callback("%AvailVidMem", ksEntry<&availVidMem>());
    callback("%TotalVidMem", ksEntry<&totalVidMem>());
    callback("Graphics%width%height%depth=0%mode=0", ksEntry<&gfxcmd::graphics>());
    callback("EndGraphics", ksEntry<&endGraphics>());
    callback("%FrontBuffer", ksEntry<&frontBuffer>());
    callback("%BackBuffer", ksEntry<&backBuffer>());
    callback("%ScanLine", ksEntry<&scanLine>());
    callback("VWait%frames=1", ksEntry<&vWait>());
    callback("Flip%vwait=1", ksEntry<&flip>());
    callback("%GraphicsWidth", ksEntry<&graphicsWidth>());
    callback("%GraphicsHeight", ksEntry<&graphicsHeight>());
    callback("%GraphicsDepth", ksEntry<&graphicsDepth>());
}
