// Opening and closing the display: windowed kinds share one desktop-format surface under
// both buffers, full-screen switches mode and keeps a flip chain at the asked depth.
#include "graphics/display_host.h"

#include <vector>

#include "basic/ks_error.h"
#include "graphics/sys_graphics.h"
#include "host/sys_runtime.h"

namespace {

std::vector<DisplayDriverInfo> drivers;
bool allDriversListed = false;

// Sets the busy flag for its scope: the window handles no event of its own meanwhile.
struct BusyScope {
    BusyScope() { hostState.busy = true; }
    ~BusyScope() { hostState.busy = false; }
};

std::unique_ptr<sysGraphics> openWindowed(sysRuntime& runtime, int32_t width, int32_t height, bool scaled) {
    PlatformWindow& window = runtime.window();
    const SurfaceFormat format = desktopSurfaceFormat();
    std::unique_ptr<PlatformDisplay> display = PlatformDisplay::openWindow(window, width, height, scaled, format);
    if (!display) {
        return nullptr;
    }
    const DisplayKind kind = scaled ? DisplayKind::ScaledWindow : DisplayKind::Window;
    std::unique_ptr<sysGraphics> graphics = sysGraphics::create(kind, std::move(display), width, height, format);
    if (graphics && !runtime.pointerVisible()) {
        window.setCursorVisible(false);
    }
    return graphics;
}

SurfaceFormat formatOfDepth(int32_t depth) {
    switch (depth) {
        case 16: return SurfaceFormat::rgb565();
        case 24: return SurfaceFormat::rgb888();
        default: return SurfaceFormat::xrgb8888();
    }
}

// Every depth the runtime draws in has the blits, fills, colour keys and wide surfaces a
// depth is judged by, so depth 0 takes the first of 16, 24 and 32 that can be set.
std::unique_ptr<sysGraphics> openFullScreen(sysRuntime& runtime, int32_t width, int32_t height, int32_t depth,
                                            int32_t driver) {
    static const int32_t kDepthOrder[] = {16, 24, 32};
    std::unique_ptr<PlatformDisplay> display;
    for (int32_t tried : kDepthOrder) {
        if (depth != 0 && tried != depth) {
            continue;
        }
        display = PlatformDisplay::openFullScreen(runtime.window(), driver, width, height, tried);
        if (display) {
            depth = tried;
            break;
        }
    }
    if (!display) {
        return nullptr;
    }
    std::unique_ptr<sysGraphics> graphics =
        sysGraphics::create(DisplayKind::FullScreen, std::move(display), width, height, formatOfDepth(depth));
    if (graphics && runtime.input) {
        runtime.input->acquireDevices();
    }
    return graphics;
}

}  // namespace

void resetDisplayDrivers() {
    drivers = listDisplayDrivers(true);
    allDriversListed = false;
}

int32_t countDisplayDrivers() {
    if (!allDriversListed) {
        drivers = listDisplayDrivers(false);
        allDriversListed = true;
    }
    return int32_t(drivers.size());
}

const DisplayDriverInfo* displayDriver(int32_t index) {
    if (drivers.empty()) {
        drivers = listDisplayDrivers(true);
    }
    return index >= 0 && index < int32_t(drivers.size()) ? &drivers[size_t(index)] : nullptr;
}

sysGraphics* openGraphics(int32_t width, int32_t height, int32_t depth, int32_t driver, int32_t flags) {
    sysRuntime* runtime = currentRuntime;
    if (!runtime || runtime->graphics || width <= 0 || height <= 0) {
        return nullptr;
    }
    BusyScope busy;
    std::unique_ptr<sysGraphics> graphics;
    if (flags & OpenWindowed) {
        graphics = openWindowed(*runtime, width, height, (flags & OpenScaled) != 0);
    } else if (displayDriver(driver)) {
        graphics = openFullScreen(*runtime, width, height, depth, driver);
    }
    if (!graphics) {
        return nullptr;
    }
    hostState.displayKind = graphics->kind();
    runtime->graphics = graphics.get();
    return graphics.release();
}

void closeGraphics(sysGraphics* graphics) {
    sysRuntime* runtime = currentRuntime;
    if (!runtime || !graphics || runtime->graphics != graphics) {
        return;
    }
    BusyScope busy;
    graphics->presentPending();
    if (graphics->kind() == DisplayKind::FullScreen && runtime->input) {
        runtime->input->releaseDevices();
    }
    runtime->graphics = nullptr;
    delete graphics;
    hostState.displayKind = DisplayKind::None;
}
