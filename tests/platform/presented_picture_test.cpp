// PNG files of pictures: what is written reads back pixel for pixel (through FreeImage's
// per-pixel reader, not the row writer), the file is a 24-bit RGB PNG, and bad pictures or
// paths fail cleanly.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/presented_picture.h"

namespace {

std::string tempPath(const std::string& name) {
  return "/tmp/ks_picture_" + std::to_string(getpid()) + "_" + name;
}

// Every pixel different and no symmetry, so that flipped rows or swapped channels show.
PresentedPicture sample(int width, int height) {
  PresentedPicture p;
  p.width = width;
  p.height = height;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      p.pixels.push_back(0xFF000000u | uint32_t(x * 5) << 16 | uint32_t(y * 7) << 8 | uint32_t((x * 3 + y * 11) & 0xFF));
    }
  }
  return p;
}

uint32_t bigEndian(const std::string& bytes, size_t at) {
  return uint32_t(uint8_t(bytes[at])) << 24 | uint32_t(uint8_t(bytes[at + 1])) << 16 |
         uint32_t(uint8_t(bytes[at + 2])) << 8 | uint8_t(bytes[at + 3]);
}

TEST(PicturePng, WrittenPictureReadsBackPixelForPixelAsA24BitPng) {
  const std::string path = tempPath("round.png");
  const PresentedPicture picture = sample(37, 23);
  ASSERT_TRUE(writePicturePng(path, picture));

  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(bytes.size(), 33u);
  EXPECT_EQ(bytes.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  EXPECT_EQ(bytes.substr(12, 4), "IHDR");
  EXPECT_EQ(bigEndian(bytes, 16), 37u);
  EXPECT_EQ(bigEndian(bytes, 20), 23u);
  EXPECT_EQ(int(bytes[24]), 8) << "8 bits per channel";
  EXPECT_EQ(int(bytes[25]), 2) << "colour type RGB, no alpha";

  PresentedPicture read;
  ASSERT_TRUE(readPicturePng(path, read));
  EXPECT_EQ(read, picture);
  std::remove(path.c_str());
}

TEST(PicturePng, AlphaIsDroppedAndReadsBackOpaque) {
  const std::string path = tempPath("alpha.png");
  PresentedPicture picture = sample(4, 3);
  PresentedPicture translucent = picture;
  for (uint32_t& p : translucent.pixels) {
    p &= 0x00FFFFFFu;
  }
  ASSERT_TRUE(writePicturePng(path, translucent));
  PresentedPicture read;
  ASSERT_TRUE(readPicturePng(path, read));
  EXPECT_EQ(read, picture);
  std::remove(path.c_str());
}

TEST(PicturePng, BadPicturesAndPathsFailWithoutAFile) {
  const std::string path = tempPath("bad.png");
  EXPECT_FALSE(writePicturePng(path, PresentedPicture{}));
  PresentedPicture short_ = sample(5, 5);
  short_.pixels.pop_back();
  EXPECT_FALSE(writePicturePng(path, short_));
  PresentedPicture negative = sample(5, 5);
  negative.width = -5;
  negative.height = -5;
  EXPECT_FALSE(writePicturePng(path, negative));
  EXPECT_NE(access(path.c_str(), F_OK), 0);

  EXPECT_FALSE(writePicturePng("/nonexistent-folder/picture.png", sample(2, 2)));

  PresentedPicture read = sample(1, 1);
  EXPECT_FALSE(readPicturePng(tempPath("missing.png"), read));
  const std::string text = tempPath("text.png");
  std::ofstream(text) << "not a picture";
  EXPECT_FALSE(readPicturePng(text, read));
  EXPECT_EQ(read, sample(1, 1)) << "a failed read leaves the picture alone";
  std::remove(text.c_str());
}

}  // namespace
