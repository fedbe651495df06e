// Pictures as 0xAARRGGBB words: what a display presented (a seam for tests and tools,
// off by default so that presenting costs nothing extra), and PNG files of them.
// Plain header: FreeImage stays in the .cpp.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/surface.h"

// Row by row from the top, width x height words, alpha 0xFF.
struct PresentedPicture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;

  bool empty() const { return width <= 0 || height <= 0; }
  uint32_t at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
  bool operator==(const PresentedPicture&) const = default;
};

// A surface's pixels expanded to ARGB the way surface copies convert (channels shifted up,
// low bits zero: 5-6-5 white is 0xFFF8FCF8). Empty when the surface is too large to copy.
PresentedPicture pictureFromSurface(const Surface& surface);

// While on, every successful present keeps a copy of its picture (the display's size, not
// the window's). Turning it off drops the kept copy.
void capturePresentedPictures(bool on);
bool capturingPresentedPictures();
// The last picture kept; empty (0 x 0) when nothing was captured.
PresentedPicture lastPresentedPicture();
// Called by the display after a successful present.
void recordPresentedPicture(const Surface& picture);

// Writes the picture as a 24-bit PNG file. False when the picture is empty or inconsistent
// or the file cannot be written.
bool writePicturePng(const std::string& path, const PresentedPicture& picture);
// Reads a PNG file (any bit depth FreeImage reads) as opaque ARGB. False when it cannot.
bool readPicturePng(const std::string& path, PresentedPicture& picture);
