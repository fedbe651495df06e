// The graphics module's create, destroy and link routines. Every run starts with a
// visible 400 x 300 window.
#include "graphics/display_host.h"
#include "graphics/graphics_commands.h"
#include "graphics/graphics_state.h"
#include "runtime/modules.h"

bool graphics_create() {
    GraphicsState& g = graphicsState;
    g.transformFilter = true;
    g.autoMidHandle = false;
    releaseDisplayObjects();
    g.driverIndex = 0;
    g.modeCache.clear();
    g.console = ConsoleState{};
    resetDisplayDrivers();
    if (!replaceDisplay(400, 300, 0, 0, OpenWindowed)) {
        return false;
    }
    g.modeChosen = false;
    applyDisplayDefaults();
    return true;
}

void graphics_destroy() {
    GraphicsState& g = graphicsState;
    releaseDisplayObjects();
    g.modeCache.clear();
    closeGraphics(g.display);
    g.display = nullptr;
    g.buffer = nullptr;
    g.font = nullptr;
}

void graphics_link(LinkCallback callback) {
    display_commands_link(callback);
    buffer_commands_link(callback);
    console_commands_link(callback);
    font_commands_link(callback);
    image_commands_link(callback);
    collision_commands_link(callback);
    movie_commands_link(callback);
}
