// Image files decoded through FreeImage into upright 32-bit ARGB rows. The only file that
// sees the library; callers get a size and rows of plain words, with no copy made of the
// library's own pixel memory.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

// The largest picture a file may announce. Its size is read from the file's header before
// any pixel is decoded, and a larger one does not load: each side at most 16384 pixels, and
// at most 256 MiB both for its 32-bit pixels (64 Mi pixels) and for the bitmap the library
// decodes it into.
constexpr int32_t kMaxImageSide = 16384;
constexpr int64_t kMaxImageBytes = int64_t(256) << 20;

class DecodedImage {
public:
  // The picture of the regular file at `path` (a file-system path, already resolved), or
  // null when it cannot be loaded: not a regular file, a format recognised neither from
  // the content nor from the text after the name's last dot, a size beyond the limits,
  // damage known to trap the library's readers, or any failure of the library, which is
  // kept quiet about them (TIFF files aside: the TIFF library it uses warns on its own).
  static std::unique_ptr<DecodedImage> load(const std::string& path);
  ~DecodedImage();
  DecodedImage(const DecodedImage&) = delete;
  DecodedImage& operator=(const DecodedImage&) = delete;

  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  // Row y counted from the top: width pixels as ARGB words, alpha always 255 (loaded
  // pictures are opaque whatever alpha the file had).
  const uint32_t* row(int32_t y) const {
    return reinterpret_cast<const uint32_t*>(topRow_ - intptr_t(y) * pitch_);
  }

  // Testing seam: other limits in place of kMaxImageSide and kMaxImageBytes (the
  // constants again when both are 0).
  static void setLimitsForTesting(int32_t maxSide, int64_t maxBytes);

private:
  DecodedImage(void* bitmap, int32_t width, int32_t height, const uint8_t* topRow, int32_t pitch)
    : bitmap_(bitmap), width_(width), height_(height), topRow_(topRow), pitch_(pitch) {}

  void* bitmap_;  // the library's bitmap, released with the image
  int32_t width_;
  int32_t height_;
  const uint8_t* topRow_;  // the library stores rows bottom-up: the top row is the last
  int32_t pitch_;
};
