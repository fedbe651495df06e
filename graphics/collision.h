// Overlap and collision tests of frames placed on the screen: bounding boxes, pixel-exact
// tests on the frames' collision masks, and the rectangle tests. A frame placed at (x, y)
// occupies (x - handle x, y - handle y) onward; touching edges do not overlap.
#pragma once

#include <cstdint>

class sysCanvas;

bool rectsOverlap(int32_t x1, int32_t y1, int32_t width1, int32_t height1, int32_t x2, int32_t y2,
                  int32_t width2, int32_t height2);
bool framesOverlap(const sysCanvas& a, int32_t ax, int32_t ay, const sysCanvas& b, int32_t bx, int32_t by);
// Builds the masks it needs, hence not const.
bool framesCollide(sysCanvas& a, int32_t ax, int32_t ay, sysCanvas& b, int32_t bx, int32_t by);
bool frameRectOverlap(const sysCanvas& frame, int32_t x, int32_t y, int32_t rx, int32_t ry, int32_t rw,
                      int32_t rh);
bool frameRectCollide(sysCanvas& frame, int32_t x, int32_t y, int32_t rx, int32_t ry, int32_t rw, int32_t rh);
