// Decoding image files through FreeImage: the format from the content or else from the
// extension, the announced size checked before decoding, conversion to 32 bits and opaque
// alpha. Every failure of the library is "cannot be loaded".
#include "platform/image_decoder.h"

#include <FreeImage.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <mutex>

namespace {

int32_t maxSide = kMaxImageSide;
int64_t maxBytes = kMaxImageBytes;

void quiet(FREE_IMAGE_FORMAT, const char*) {}

// The library counts its initialisations; one is enough for the process. Its messages
// would only repeat, on standard error, that a hostile file did not load.
void initialiseOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    FreeImage_Initialise(FALSE);
    FreeImage_SetOutputMessage(quiet);
  });
}

// The size of a regular file; -1 for anything else (a folder, a device, a pipe that
// would block the reader) and for a missing file.
int64_t regularFileSize(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) ? int64_t(info.st_size) : -1;
}

// The format from the content; when the content is not recognised, from the text after
// the last dot of the name (a name without a dot has no extension: the library would
// take the whole name as one).
FREE_IMAGE_FORMAT formatOf(const std::string& path) {
  FREE_IMAGE_FORMAT format = FreeImage_GetFileType(path.c_str(), 0);
  if (format == FIF_UNKNOWN) {
    if (path.find('.') == std::string::npos) {
      return FIF_UNKNOWN;
    }
    format = FreeImage_GetFIFFromFilename(path.c_str());
  }
  return format != FIF_UNKNOWN && FreeImage_FIFSupportsReading(format) ? format : FIF_UNKNOWN;
}

bool withinLimits(int64_t width, int64_t height, int64_t decodedBytes) {
  return width > 0 && height > 0 && width <= maxSide && height <= maxSide && width * height * 4 <= maxBytes &&
         decodedBytes <= maxBytes;
}

bool bitmapWithinLimits(FIBITMAP* bitmap) {
  const int64_t height = FreeImage_GetHeight(bitmap);
  return withinLimits(FreeImage_GetWidth(bitmap), height, int64_t(FreeImage_GetPitch(bitmap)) * height);
}

// Big-endian and little-endian 16-bit fields of a header.
int32_t be16(const uint8_t* p) { return int32_t(p[0]) << 8 | p[1]; }
int32_t le16(const uint8_t* p) { return int32_t(p[1]) << 8 | p[0]; }

bool readExactly(std::FILE* file, uint8_t* into, size_t count) {
  return std::fread(into, 1, count, file) == count;
}

// Runs a header check on the open file.
bool readHeader(const std::string& path, const std::function<bool(std::FILE*)>& check) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    return false;
  }
  const bool passed = check(file);
  std::fclose(file);
  return passed;
}

// An IFF picture's size is in its BMHD chunk. The library's reader does not stop at the
// end of a file whose chunks end before the BODY, so every chunk up to the whole BODY must
// lie inside the file.
bool iffSize(std::FILE* file, int64_t fileSize, int32_t& width, int32_t& height) {
  uint8_t form[12];
  if (!readExactly(file, form, 12) || std::memcmp(form, "FORM", 4) != 0) {
    return false;
  }
  bool sized = false;
  int64_t at = 12;
  uint8_t chunk[8];
  while (readExactly(file, chunk, 8)) {
    const int64_t size = int64_t(chunk[4]) << 24 | int64_t(chunk[5]) << 16 | int64_t(chunk[6]) << 8 | chunk[7];
    const int64_t next = at + 8 + size + (size & 1);
    if (at + 8 + size > fileSize) {
      return false;
    }
    if (std::memcmp(chunk, "BODY", 4) == 0) {
      return sized;
    }
    if (std::memcmp(chunk, "BMHD", 4) == 0) {
      uint8_t header[4];
      if (size < 20 || !readExactly(file, header, 4)) {
        return false;
      }
      width = be16(header);
      height = be16(header + 2);
      sized = true;
    }
    if (::fseeko(file, off_t(next), SEEK_SET) != 0) {
      return false;
    }
    at = next;
  }
  return false;
}

// A GIF loads its first image, whose size is in the first image descriptor after the
// colour table and any extension blocks.
bool gifSize(std::FILE* file, int32_t& width, int32_t& height) {
  uint8_t screen[13];
  if (!readExactly(file, screen, 13) || std::memcmp(screen, "GIF", 3) != 0) {
    return false;
  }
  if (screen[10] & 0x80) {
    ::fseeko(file, off_t(3) << ((screen[10] & 7) + 1), SEEK_CUR);
  }
  uint8_t block[9];
  while (readExactly(file, block, 1)) {
    if (block[0] == 0x2C) {
      if (!readExactly(file, block, 8)) {
        return false;
      }
      width = le16(block + 4);
      height = le16(block + 6);
      return true;
    }
    if (block[0] != 0x21 || !readExactly(file, block, 1)) {
      return false;
    }
    // Extension: a label, then sub-blocks each led by its length, ended by length 0.
    uint8_t length = 0;
    while (readExactly(file, &length, 1) && length != 0) {
      if (::fseeko(file, length, SEEK_CUR) != 0) {
        return false;
      }
    }
    if (length != 0) {
      return false;
    }
  }
  return false;
}

// The library's Targa reader faults when the pixel data would start beyond the end of the
// file (an identification field or colour map longer than the file): refused here.
bool targaDataInsideFile(std::FILE* file, int64_t fileSize) {
  uint8_t header[18];
  if (!readExactly(file, header, 18)) {
    return false;
  }
  const int64_t colourMap = header[1] == 0 ? 0 : int64_t(le16(header + 5)) * ((header[7] + 7) / 8);
  return 18 + header[0] + colourMap < fileSize;
}

// The size the file announces, checked before the library allocates for its pixels: a
// header-only load where the library offers one, the header read here for the two formats
// it reads whole, the fixed size of Koala pictures. Other formats cannot be checked and do
// not load.
bool announcedSizeFits(FREE_IMAGE_FORMAT format, const std::string& path, int64_t fileSize) {
  if (FreeImage_FIFSupportsNoPixels(format)) {
    FIBITMAP* header = FreeImage_Load(format, path.c_str(), FIF_LOAD_NOPIXELS);
    if (!header) {
      return false;
    }
    const bool fits = bitmapWithinLimits(header);
    FreeImage_Unload(header);
    return fits;
  }
  if (format == FIF_KOALA) {
    return withinLimits(320, 200, 320 * 200);
  }
  if (format != FIF_IFF && format != FIF_GIF) {
    return false;
  }
  int32_t width = 0;
  int32_t height = 0;
  return readHeader(path,
                    [&](std::FILE* file) {
                      return format == FIF_IFF ? iffSize(file, fileSize, width, height) : gifSize(file, width, height);
                    }) &&
         withinLimits(width, height, int64_t(width) * height * 4);
}

// Whether the library may decode the file: its size fits, and no damage known to trap the
// library's reader is there.
bool safeToDecode(FREE_IMAGE_FORMAT format, const std::string& path, int64_t fileSize) {
  if (format == FIF_TARGA && !readHeader(path, [&](std::FILE* file) { return targaDataInsideFile(file, fileSize); })) {
    return false;
  }
  return announcedSizeFits(format, path, fileSize);
}

// The bitmap in 32 bits per pixel, or null; the bitmap given is used up. A 32-bit bitmap
// is kept as it is. Types the conversion does not take (16-bit grey, floating point) go
// through the library's standard 8-bit form first, so they load rather than being read
// with the wrong layout.
FIBITMAP* to32Bits(FIBITMAP* bitmap) {
  const FREE_IMAGE_TYPE type = FreeImage_GetImageType(bitmap);
  if (type == FIT_BITMAP && FreeImage_GetBPP(bitmap) == 32) {
    return bitmap;
  }
  if (type != FIT_BITMAP && type != FIT_RGB16 && type != FIT_RGBA16) {
    FIBITMAP* standard = FreeImage_ConvertToStandardType(bitmap, TRUE);
    FreeImage_Unload(bitmap);
    if (!standard) {
      return nullptr;
    }
    bitmap = standard;
  }
  FIBITMAP* converted = FreeImage_ConvertTo32Bits(bitmap);
  FreeImage_Unload(bitmap);
  return converted;
}

}  // namespace

std::unique_ptr<DecodedImage> DecodedImage::load(const std::string& path) {
  initialiseOnce();
  const int64_t fileSize = regularFileSize(path);
  if (fileSize < 0) {
    return nullptr;
  }
  const FREE_IMAGE_FORMAT format = formatOf(path);
  if (format == FIF_UNKNOWN || !safeToDecode(format, path, fileSize)) {
    return nullptr;
  }
  FIBITMAP* loaded = FreeImage_Load(format, path.c_str(), 0);
  if (!loaded) {
    return nullptr;
  }
  // The loader may disagree with the header it was checked by.
  if (!bitmapWithinLimits(loaded)) {
    FreeImage_Unload(loaded);
    return nullptr;
  }
  FIBITMAP* bitmap = to32Bits(loaded);
  if (!bitmap) {
    return nullptr;
  }
  const int32_t width = int32_t(FreeImage_GetWidth(bitmap));
  const int32_t height = int32_t(FreeImage_GetHeight(bitmap));
  const int32_t pitch = int32_t(FreeImage_GetPitch(bitmap));
  uint8_t* bits = FreeImage_GetBits(bitmap);
  if (!bits || width <= 0 || height <= 0 || pitch < width * 4 || FreeImage_GetBPP(bitmap) != 32) {
    FreeImage_Unload(bitmap);
    return nullptr;
  }
  // The library keeps 32-bit pixels as blue, green, red, alpha bytes: ARGB words here.
  for (int32_t y = 0; y < height; ++y) {
    uint32_t* row = reinterpret_cast<uint32_t*>(bits + intptr_t(y) * pitch);
    for (int32_t x = 0; x < width; ++x) {
      row[x] |= 0xFF000000u;
    }
  }
  return std::unique_ptr<DecodedImage>(
      new DecodedImage(bitmap, width, height, bits + intptr_t(height - 1) * pitch, pitch));
}

DecodedImage::~DecodedImage() {
  FreeImage_Unload(static_cast<FIBITMAP*>(bitmap_));
}

void DecodedImage::setLimitsForTesting(int32_t side, int64_t bytes) {
  maxSide = side == 0 ? kMaxImageSide : side;
  maxBytes = bytes == 0 ? kMaxImageBytes : bytes;
}
