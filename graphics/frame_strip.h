// Frame strips: an image cut from a loaded picture of equal cells, read left to right and
// top to bottom. LoadAnimImage loads the strip; this makes the frames from it.
#pragma once

#include <cstdint>

class sysCanvas;
struct Image;

// The checks made before the file is touched: "Illegal frame count" for count <= 0, then
// "Illegal first frame" for first < 0.
void checkStripArguments(int32_t first, int32_t count);

// Makes `count` frames of cellWidth x cellHeight from cell `first` of the strip and registers
// the image. Raises "Not enough frames in bitmap" when the strip holds fewer whole cells
// (cells of no width or height hold none); null when a frame canvas cannot be made, with
// nothing left allocated. The strip itself is not changed.
Image* imageFromStrip(const sysCanvas& strip, int32_t cellWidth, int32_t cellHeight, int32_t first,
                      int32_t count);
