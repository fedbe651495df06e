// The presented-picture seam and PNG files through FreeImage.
#include "platform/presented_picture.h"

#include <FreeImage.h>

#include <cstring>
#include <mutex>

namespace {

// Presents run on the program thread; a tool may read the capture from another.
std::mutex captureMutex;
bool capturing = false;
PresentedPicture captured;

bool consistent(const PresentedPicture& picture) {
  return !picture.empty() && int64_t(picture.width) * picture.height == int64_t(picture.pixels.size());
}

}  // namespace

PresentedPicture pictureFromSurface(const Surface& surface) {
  PresentedPicture picture;
  // A copy into an X8R8G8B8 surface converts with the runtime's one pixel conversion.
  const auto argb = Surface::create(surface.width(), surface.height(), SurfaceFormat::xrgb8888(), SurfaceMemory::System);
  if (!argb || !argb->copy(argb->rect(), surface, surface.rect())) {
    return picture;
  }
  picture.width = surface.width();
  picture.height = surface.height();
  picture.pixels.resize(size_t(picture.width) * size_t(picture.height));
  for (int y = 0; y < picture.height; ++y) {
    uint32_t* out = picture.pixels.data() + size_t(y) * size_t(picture.width);
    std::memcpy(out, argb->pixels() + size_t(y) * size_t(argb->pitch()), size_t(picture.width) * 4);
    for (int x = 0; x < picture.width; ++x) {
      out[x] |= 0xFF000000u;
    }
  }
  return picture;
}

void capturePresentedPictures(bool on) {
  const std::lock_guard<std::mutex> lock(captureMutex);
  capturing = on;
  if (!on) {
    captured = PresentedPicture{};
  }
}

bool capturingPresentedPictures() {
  const std::lock_guard<std::mutex> lock(captureMutex);
  return capturing;
}

PresentedPicture lastPresentedPicture() {
  const std::lock_guard<std::mutex> lock(captureMutex);
  return captured;
}

void recordPresentedPicture(const Surface& picture) {
  if (!capturingPresentedPictures()) {
    return;
  }
  PresentedPicture copy = pictureFromSurface(picture);
  const std::lock_guard<std::mutex> lock(captureMutex);
  if (capturing) {
    captured = std::move(copy);
  }
}

bool writePicturePng(const std::string& path, const PresentedPicture& picture) {
  if (!consistent(picture)) {
    return false;
  }
  FIBITMAP* dib = FreeImage_Allocate(picture.width, picture.height, 24, FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK,
                                     FI_RGBA_BLUE_MASK);
  if (!dib) {
    return false;
  }
  // FreeImage keeps its rows bottom-up.
  for (int y = 0; y < picture.height; ++y) {
    BYTE* row = FreeImage_GetScanLine(dib, picture.height - 1 - y);
    for (int x = 0; x < picture.width; ++x) {
      const uint32_t p = picture.at(x, y);
      row[x * 3 + FI_RGBA_RED] = BYTE(p >> 16);
      row[x * 3 + FI_RGBA_GREEN] = BYTE(p >> 8);
      row[x * 3 + FI_RGBA_BLUE] = BYTE(p);
    }
  }
  const bool written = FreeImage_Save(FIF_PNG, dib, path.c_str(), PNG_DEFAULT) != 0;
  FreeImage_Unload(dib);
  return written;
}

bool readPicturePng(const std::string& path, PresentedPicture& picture) {
  FIBITMAP* dib = FreeImage_Load(FIF_PNG, path.c_str(), PNG_DEFAULT);
  if (!dib) {
    return false;
  }
  FIBITMAP* rgb = FreeImage_ConvertTo24Bits(dib);
  FreeImage_Unload(dib);
  if (!rgb) {
    return false;
  }
  PresentedPicture read;
  read.width = int(FreeImage_GetWidth(rgb));
  read.height = int(FreeImage_GetHeight(rgb));
  read.pixels.resize(size_t(read.width) * size_t(read.height));
  for (int y = 0; y < read.height; ++y) {
    for (int x = 0; x < read.width; ++x) {
      RGBQUAD colour{};
      FreeImage_GetPixelColor(rgb, unsigned(x), unsigned(read.height - 1 - y), &colour);
      read.pixels[size_t(y) * size_t(read.width) + size_t(x)] =
          0xFF000000u | uint32_t(colour.rgbRed) << 16 | uint32_t(colour.rgbGreen) << 8 | colour.rgbBlue;
    }
  }
  FreeImage_Unload(rgb);
  picture = std::move(read);
  return true;
}
