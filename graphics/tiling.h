// Tiling: covers a canvas's viewport with copies of a frame on a grid aligned so that one
// copy would sit where drawing the frame at (x, y) puts it.
#pragma once

#include <cstdint>

class sysCanvas;

void tileFrame(sysCanvas& destination, const sysCanvas& frame, int32_t x, int32_t y, bool solid);
