// Image files: loading a picture file into a canvas of the display's format, and writing a
// canvas as a 24-bit bitmap file. sysGraphics::loadCanvas (in sys_graphics.h) loads into the
// display's canvas set; these are the owned form and the writer.
#pragma once

#include <memory>
#include <string>

class sysCanvas;
class sysGraphics;

// A canvas of the picture in the file, owned by the caller; null when it cannot be loaded.
std::unique_ptr<sysCanvas> loadCanvasFile(sysGraphics& graphics, const std::string& file, uint32_t flags);
// Writes the canvas as a bitmap file; false when it cannot be written.
bool saveCanvasBitmap(sysCanvas& canvas, const std::string& file);
