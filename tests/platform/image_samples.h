// Image files made at test time: one small picture written in every format the loader is
// meant to read, by FreeImage where it writes the format and byte by byte where it does not
// (OS/2 bitmaps, PCX, IFF/LBM), plus a temporary folder to keep them in.
#pragma once

#include <FreeImage.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace samples {

using Bytes = std::vector<uint8_t>;

// The sample picture: 5 x 3 (an odd width pads bitmap rows), four colours.
constexpr int kWidth = 5;
constexpr int kHeight = 3;
constexpr uint32_t kPalette[4] = {0xFF102030, 0xFFE01000, 0xFF00C040, 0xFF2040F0};
inline int indexAt(int x, int y) { return (x + 2 * y) % 4; }
inline uint32_t colourAt(int x, int y) { return kPalette[indexAt(x, y)]; }

// A folder of its own under the system's temporary folder, removed with its contents.
class TempFolder {
public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ks-images-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
  std::string path_;
};

inline void writeBytes(const std::string& path, const Bytes& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr) << path;
  ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
  std::fclose(file);
}

inline Bytes readBytes(const std::string& path) {
  Bytes bytes;
  if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
    int c;
    while ((c = std::fgetc(file)) != EOF) {
      bytes.push_back(uint8_t(c));
    }
    std::fclose(file);
  }
  return bytes;
}

inline void put16le(Bytes& b, uint32_t v) { b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)}); }
inline void put32le(Bytes& b, uint32_t v) { put16le(b, v); put16le(b, v >> 16); }
inline void put16be(Bytes& b, uint32_t v) { b.insert(b.end(), {uint8_t(v >> 8), uint8_t(v)}); }
inline void put32be(Bytes& b, uint32_t v) { put16be(b, v >> 16); put16be(b, v); }
inline void putTag(Bytes& b, const char* tag) {
  for (int i = 0; i < 4; ++i) {
    b.push_back(uint8_t(tag[i]));
  }
}

// A FreeImage bitmap (rows bottom-up) of a picture given top-down.
inline FIBITMAP* bitmap24(int width, int height, const std::function<uint32_t(int, int)>& argb) {
  FIBITMAP* dib = FreeImage_Allocate(width, height, 24);
  for (int y = 0; y < height; ++y) {
    BYTE* row = FreeImage_GetScanLine(dib, height - 1 - y);
    for (int x = 0; x < width; ++x) {
      const uint32_t c = argb(x, y);
      row[3 * x + FI_RGBA_RED] = BYTE(c >> 16);
      row[3 * x + FI_RGBA_GREEN] = BYTE(c >> 8);
      row[3 * x + FI_RGBA_BLUE] = BYTE(c);
    }
  }
  return dib;
}

inline FIBITMAP* samplePalettized() {
  FIBITMAP* dib = FreeImage_Allocate(kWidth, kHeight, 8);
  RGBQUAD* palette = FreeImage_GetPalette(dib);
  for (int i = 0; i < 4; ++i) {
    palette[i].rgbRed = BYTE(kPalette[i] >> 16);
    palette[i].rgbGreen = BYTE(kPalette[i] >> 8);
    palette[i].rgbBlue = BYTE(kPalette[i]);
  }
  for (int y = 0; y < kHeight; ++y) {
    BYTE* row = FreeImage_GetScanLine(dib, kHeight - 1 - y);
    for (int x = 0; x < kWidth; ++x) {
      row[x] = BYTE(indexAt(x, y));
    }
  }
  return dib;
}

// The sample with alpha 0 on its first colour and 0x80 on its second.
inline FIBITMAP* sampleWithAlpha() {
  FIBITMAP* dib = FreeImage_Allocate(kWidth, kHeight, 32);
  for (int y = 0; y < kHeight; ++y) {
    BYTE* row = FreeImage_GetScanLine(dib, kHeight - 1 - y);
    for (int x = 0; x < kWidth; ++x) {
      const uint32_t c = colourAt(x, y);
      row[4 * x + FI_RGBA_RED] = BYTE(c >> 16);
      row[4 * x + FI_RGBA_GREEN] = BYTE(c >> 8);
      row[4 * x + FI_RGBA_BLUE] = BYTE(c);
      row[4 * x + FI_RGBA_ALPHA] = BYTE(indexAt(x, y) == 0 ? 0 : indexAt(x, y) == 1 ? 0x80 : 0xFF);
    }
  }
  return dib;
}

inline void save(FREE_IMAGE_FORMAT format, FIBITMAP* dib, const std::string& path, int flags = 0) {
  ASSERT_TRUE(FreeImage_Save(format, dib, path.c_str(), flags)) << path;
  FreeImage_Unload(dib);
}

// OS/2 bitmap: 14-byte file header, 12-byte core header, RGB triples for 8 bits.
inline Bytes os2Bitmap(int bits) {
  const int rowSize = (kWidth * bits / 8 + 3) & ~3;
  const int paletteBytes = bits == 8 ? 256 * 3 : 0;
  Bytes b = {'B', 'M'};
  put32le(b, 26 + paletteBytes + rowSize * kHeight);
  put32le(b, 0);
  put32le(b, 26 + paletteBytes);
  put32le(b, 12);
  put16le(b, kWidth);
  put16le(b, kHeight);
  put16le(b, 1);
  put16le(b, bits);
  for (int i = 0; i < paletteBytes / 3; ++i) {
    const uint32_t c = i < 4 ? kPalette[i] : 0;
    b.insert(b.end(), {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16)});
  }
  for (int y = kHeight - 1; y >= 0; --y) {
    Bytes row;
    for (int x = 0; x < kWidth; ++x) {
      const uint32_t c = colourAt(x, y);
      if (bits == 8) {
        row.push_back(uint8_t(indexAt(x, y)));
      } else {
        row.insert(row.end(), {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16)});
      }
    }
    row.resize(size_t(rowSize), 0);
    b.insert(b.end(), row.begin(), row.end());
  }
  return b;
}

// PCX, 8 bits, run-length encoded, with the 256-colour palette at the end.
inline Bytes pcx8() {
  const int bytesPerLine = (kWidth + 1) & ~1;
  Bytes b = {0x0A, 5, 1, 8};
  put16le(b, 0);
  put16le(b, 0);
  put16le(b, kWidth - 1);
  put16le(b, kHeight - 1);
  put16le(b, 72);
  put16le(b, 72);
  b.resize(65, 0);  // 16-colour palette and reserved byte
  b.push_back(1);   // planes
  put16le(b, bytesPerLine);
  put16le(b, 1);
  b.resize(128, 0);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < bytesPerLine; ++x) {
      b.push_back(uint8_t(x < kWidth ? indexAt(x, y) : 0));  // values below 0xC0 need no run
    }
  }
  b.push_back(0x0C);
  for (int i = 0; i < 256; ++i) {
    const uint32_t c = i < 4 ? kPalette[i] : 0;
    b.insert(b.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)});
  }
  return b;
}

// IFF ILBM: two bit planes, uncompressed, with a four-colour map. The BMHD chunk's width
// and height are at bytes 20 to 23.
inline Bytes ilbm() {
  Bytes body;
  const int rowBytes = ((kWidth + 15) / 16) * 2;
  for (int y = 0; y < kHeight; ++y) {
    for (int plane = 0; plane < 2; ++plane) {
      Bytes row(size_t(rowBytes), 0);
      for (int x = 0; x < kWidth; ++x) {
        if ((indexAt(x, y) >> plane) & 1) {
          row[size_t(x / 8)] |= uint8_t(0x80 >> (x % 8));
        }
      }
      body.insert(body.end(), row.begin(), row.end());
    }
  }
  Bytes chunks;
  putTag(chunks, "BMHD");
  put32be(chunks, 20);
  put16be(chunks, kWidth);
  put16be(chunks, kHeight);
  put32be(chunks, 0);                      // x, y
  chunks.insert(chunks.end(), {2, 0, 0, 0});  // planes, masking, compression, pad
  put16be(chunks, 0);                      // transparent colour
  chunks.insert(chunks.end(), {10, 11});   // aspect
  put16be(chunks, kWidth);
  put16be(chunks, kHeight);
  putTag(chunks, "CMAP");
  put32be(chunks, 12);
  for (int i = 0; i < 4; ++i) {
    chunks.insert(chunks.end(), {uint8_t(kPalette[i] >> 16), uint8_t(kPalette[i] >> 8), uint8_t(kPalette[i])});
  }
  putTag(chunks, "BODY");
  put32be(chunks, uint32_t(body.size()));
  chunks.insert(chunks.end(), body.begin(), body.end());
  if (body.size() % 2) {
    chunks.push_back(0);
  }
  Bytes b;
  putTag(b, "FORM");
  put32be(b, uint32_t(chunks.size() + 4));
  putTag(b, "ILBM");
  b.insert(b.end(), chunks.begin(), chunks.end());
  return b;
}

// A 2 x 2 Targa of 15-bit pixels: loadable, but FreeImage does not recognise it from its
// content, so only the name's extension can make it load. Pure blue and red.
inline Bytes targa15() {
  Bytes b = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 15, 0x20};  // top-down rows
  for (uint16_t pixel : {0x001F, 0x7C00, 0x7C00, 0x001F}) {
    put16le(b, pixel);
  }
  return b;
}

struct Sample {
  std::string name;
  std::string path;
};

// The sample picture in every lossless format, written into `folder`.
inline std::vector<Sample> writeLosslessSamples(const TempFolder& folder) {
  const auto at = [&](const char* name) { return folder / name; };
  save(FIF_BMP, bitmap24(kWidth, kHeight, colourAt), at("win24.bmp"));
  save(FIF_BMP, samplePalettized(), at("win8.bmp"));
  writeBytes(at("os2-24.bmp"), os2Bitmap(24));
  writeBytes(at("os2-8.bmp"), os2Bitmap(8));
  save(FIF_PNG, sampleWithAlpha(), at("alpha.png"));
  save(FIF_TARGA, bitmap24(kWidth, kHeight, colourAt), at("plain.tga"));
  save(FIF_TARGA, bitmap24(kWidth, kHeight, colourAt), at("rle.tga"), TARGA_SAVE_RLE);
  writeBytes(at("sample.pcx"), pcx8());
  writeBytes(at("sample.lbm"), ilbm());
  save(FIF_GIF, samplePalettized(), at("sample.gif"));
  return {{"Windows BMP 24", at("win24.bmp")}, {"Windows BMP 8", at("win8.bmp")},
{"OS/2 BMP 24", at("os2-24.bmp")},
      {"OS/2 BMP 8", at("os2-8.bmp")}, {"PNG with alpha", at("alpha.png")},
      {"Targa", at("plain.tga")}, {"Targa RLE", at("rle.tga")},
      {"PCX", at("sample.pcx")}, {"IFF/LBM", at("sample.lbm")},
      {"GIF", at("sample.gif")}};
}

}  // namespace samples
