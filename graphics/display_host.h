// The host side of the display: the run's list of display drivers and their modes, and
// the opening and closing of its one display on the runtime window.
#pragma once

#include <cstdint>

#include "platform/display.h"

class sysGraphics;

// Flags of openGraphics.
enum OpenFlags : int32_t {
    OpenWindowed = 1,
    OpenScaled = 2,
};

// Back to the primary driver alone, as at the start of a run.
void resetDisplayDrivers();
// The first call lists every driver (secondary and headless ones too); later calls count.
int32_t countDisplayDrivers();
// Driver `index` (0-based), or null outside the list.
const DisplayDriverInfo* displayDriver(int32_t index);

// Opens the display (none may be open) and makes it the runtime's; null when it cannot
// be opened, with the window as it was.
sysGraphics* openGraphics(int32_t width, int32_t height, int32_t depth, int32_t driver, int32_t flags);
// Closes the open display; any other pointer is ignored.
void closeGraphics(sysGraphics* graphics);
