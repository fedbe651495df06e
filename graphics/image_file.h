// Pictures between files and canvases: a canvas loaded from an image file, upright in the
// display's pixel format, and a canvas written as an uncompressed 24-bit bitmap file. File
// names are the program's (backslashes, any letter case): both go through the path layer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "graphics/canvas.h"

// A canvas of the picture in `file`, in `format` and placed as CanvasFlags `flags` ask, in
// its initial drawing state; null when the file cannot be loaded (missing, unknown format,
// too large, damaged) or the canvas cannot be made.
std::unique_ptr<sysCanvas> loadCanvasFile(const std::string& file, uint32_t flags, const SurfaceFormat& format,
                                          sysGraphics* owner, FontFace* font);

// Writes the whole surface of the canvas (viewport, origin and handle play no part) as a
// 24-bit bitmap file, bottom row first. False when the file cannot be created, the canvas
// cannot be locked, or any write falls short; such a file is left as far as it got.
bool saveCanvasBitmap(sysCanvas& canvas, const std::string& file);
