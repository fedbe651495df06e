// The image decoder on real files: every format upright and opaque, the format chosen by
// content and then by the last dot, sizes refused before decoding, damaged and hostile
// files refused without a crash or a large allocation, and a seeded mutation run.
#include "platform/image_decoder.h"

#include <sys/resource.h>

#include <random>

#include "tests/platform/image_samples.h"

using namespace samples;

namespace {

class ImageDecoder : public ::testing::Test {
protected:
  void TearDown() override { DecodedImage::setLimitsForTesting(0, 0); }
  TempFolder folder;
};

// The process's peak resident memory in MiB: what a decoder that allocated for an
// announced size would have touched.
long peakMiB() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

void expectSample(const DecodedImage& image) {
  ASSERT_EQ(image.width(), kWidth);
  ASSERT_EQ(image.height(), kHeight);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      EXPECT_EQ(image.row(y)[x], colourAt(x, y)) << x << "," << y;
    }
  }
}

TEST_F(ImageDecoder, EveryFormatLoadsUprightAndOpaque) {
  for (const Sample& sample : writeLosslessSamples(folder)) {
    SCOPED_TRACE(sample.name);
    const auto image = DecodedImage::load(sample.path);
    ASSERT_NE(image, nullptr);
    expectSample(*image);  // the PNG's alpha 0 and 0x80 come out as 255
  }
}

TEST_F(ImageDecoder, JpegKeepsSolidBlocksWithinCompressionError) {
  const uint32_t blocks[4] = {0xFFC02010, 0xFF10C020, 0xFF2010C0, 0xFFF0F0F0};
  save(FIF_JPEG, bitmap24(32, 32, [&](int x, int y) { return blocks[(x / 16) + 2 * (y / 16)]; }),
       folder / "blocks.jpg", JPEG_QUALITYSUPERB);
  const auto image = DecodedImage::load(folder / "blocks.jpg");
  ASSERT_NE(image, nullptr);
  ASSERT_EQ(image->width(), 32);
  for (int b = 0; b < 4; ++b) {
    const uint32_t got = image->row(8 + 16 * (b / 2))[8 + 16 * (b % 2)];
    EXPECT_EQ(got >> 24, 0xFFu);
    for (int shift : {0, 8, 16}) {
      EXPECT_NEAR(int((got >> shift) & 255), int((blocks[b] >> shift) & 255), 6) << b;
    }
  }
}

TEST_F(ImageDecoder, SixteenBitGreyLoadsAsGreyRatherThanAsMisreadRows) {
  FIBITMAP* grey = FreeImage_AllocateT(FIT_UINT16, 3, 2, 16);
  for (unsigned y = 0; y < 2; ++y) {
    auto* row = reinterpret_cast<uint16_t*>(FreeImage_GetScanLine(grey, y));
    for (unsigned x = 0; x < 3; ++x) {
      row[x] = uint16_t(x == 2 ? 0xFFFF : 0);
    }
  }
  save(FIF_PNG, grey, folder / "grey16.png");
  const auto image = DecodedImage::load(folder / "grey16.png");
  ASSERT_NE(image, nullptr);
  ASSERT_EQ(image->width(), 3);
  EXPECT_EQ(image->row(1)[0], 0xFF000000u);
  EXPECT_EQ(image->row(1)[2], 0xFFFFFFFFu);
}

TEST_F(ImageDecoder, ContentDecidesTheFormatBeforeTheExtension) {
  save(FIF_PNG, sampleWithAlpha(), folder / "shot.v2.bmp");
  const auto image = DecodedImage::load(folder / "shot.v2.bmp");
  ASSERT_NE(image, nullptr);
  expectSample(*image);
}

TEST_F(ImageDecoder, UnrecognisedContentTakesTheFormatFromTheLastDotOnly) {
  for (const char* name : {"pic.v2.tga", "PIC.TGA", "pic.png.tga", "pic.tga.png", "pic", "tga"}) {
    writeBytes(folder / name, targa15());
  }
  for (const char* name : {"pic.v2.tga", "PIC.TGA", "pic.png.tga"}) {
    const auto image = DecodedImage::load(folder / name);
    ASSERT_NE(image, nullptr) << name;
    EXPECT_EQ(image->row(0)[0], 0xFF0000FFu);
    EXPECT_EQ(image->row(1)[0], 0xFFFF0000u);
  }
  // The last dot names PNG; no dot at all, not even a name that is itself an extension.
  for (const char* name : {"pic.tga.png", "pic", "tga"}) {
    EXPECT_EQ(DecodedImage::load(folder / name), nullptr) << name;
  }
}

TEST_F(ImageDecoder, EmptyGarbageTruncatedAndNonFilesDoNotLoad) {
  writeBytes(folder / "empty.png", {});
  std::mt19937 random(7);
  Bytes garbage(4096);
  for (uint8_t& byte : garbage) {
    byte = uint8_t(random());
  }
  for (const char* name : {"garbage.png", "garbage.bmp", "garbage.jpg", "garbage.pcx", "garbage.lbm", "garbage"}) {
    writeBytes(folder / name, garbage);
    EXPECT_EQ(DecodedImage::load(folder / name), nullptr) << name;
  }
  EXPECT_EQ(DecodedImage::load(folder / "empty.png"), nullptr);
  EXPECT_EQ(DecodedImage::load(folder / "missing.png"), nullptr);
  std::filesystem::create_directory(folder / "folder.png");
  EXPECT_EQ(DecodedImage::load(folder / "folder.png"), nullptr);

  // Cut inside the header, every format fails; cut inside the pixels, PNG fails and the
  // others may give a partial picture, but all of them stay within the file's size.
  for (const Sample& sample : writeLosslessSamples(folder)) {
    const Bytes whole = readBytes(sample.path);
    for (size_t length : {size_t(1), size_t(10), whole.size() / 2, whole.size() - 1}) {
      writeBytes(sample.path, Bytes(whole.begin(), whole.begin() + long(length)));
      const auto image = DecodedImage::load(sample.path);
      if (length <= 10 || sample.name.starts_with("PNG")) {
        EXPECT_EQ(image, nullptr) << sample.name << " cut at " << length;
      } else if (image) {
        EXPECT_EQ(image->width(), kWidth) << sample.name;
      }
    }
  }
}

// Damage that makes the library's own readers fault or loop is refused before they run:
// Targa pixel data starting past the end of the file (a long identification field), and
// IFF chunks ending before the picture body.
TEST_F(ImageDecoder, TargaAndIffDamageThatTrapsTheLibraryIsRefused) {
  save(FIF_TARGA, bitmap24(kWidth, kHeight, colourAt), folder / "rle.tga", TARGA_SAVE_RLE);
  Bytes targa = readBytes(folder / "rle.tga");
  targa[0] = 0xFF;
  writeBytes(folder / "long-id.tga", targa);
  EXPECT_EQ(DecodedImage::load(folder / "long-id.tga"), nullptr);
  const Bytes iff = ilbm();
  writeBytes(folder / "no-body.lbm", Bytes(iff.begin(), iff.begin() + 40));  // FORM and BMHD only
  EXPECT_EQ(DecodedImage::load(folder / "no-body.lbm"), nullptr);
}

// A Windows bitmap header announcing width x height, with no pixels behind it.
Bytes bitmapHeader(int32_t width, int32_t height) {
  Bytes b = {'B', 'M'};
  put32le(b, 54);
  put32le(b, 0);
  put32le(b, 54);
  put32le(b, 40);
  put32le(b, uint32_t(width));
  put32le(b, uint32_t(height));
  put16le(b, 1);
  put16le(b, 8);
  b.resize(54, 0);
  return b;
}

TEST_F(ImageDecoder, SizesBeyondTheLimitsAreRefusedFromTheHeader) {
  save(FIF_PNG, bitmap24(kMaxImageSide, 1, colourAt), folder / "widest.png");
  save(FIF_PNG, bitmap24(kMaxImageSide + 1, 1, colourAt), folder / "too-wide.png");
  save(FIF_PNG, bitmap24(1, kMaxImageSide + 1, colourAt), folder / "too-tall.png");
  const auto widest = DecodedImage::load(folder / "widest.png");
  ASSERT_NE(widest, nullptr);
  EXPECT_EQ(widest->row(0)[kMaxImageSide - 1], colourAt(kMaxImageSide - 1, 0));
  EXPECT_EQ(DecodedImage::load(folder / "too-wide.png"), nullptr);
  EXPECT_EQ(DecodedImage::load(folder / "too-tall.png"), nullptr);

  // The byte limit counts 32-bit pixels: 100 x 100 fits 40000 bytes, 100 x 101 does not.
  DecodedImage::setLimitsForTesting(kMaxImageSide, 40000);
  save(FIF_PNG, bitmap24(100, 100, colourAt), folder / "fits.png");
  save(FIF_PNG, bitmap24(100, 101, colourAt), folder / "over.png");
  EXPECT_NE(DecodedImage::load(folder / "fits.png"), nullptr);
  EXPECT_EQ(DecodedImage::load(folder / "over.png"), nullptr);
}

// Files of a few dozen bytes announcing pictures of hundreds of MiB: refused before the
// library allocates for them, in the formats it reads headers of and in the two whose
// headers are read here (GIF and IFF, which it can only load whole).
TEST_F(ImageDecoder, HugeAnnouncedPicturesAreRefusedWithoutAllocatingForThem) {
  writeBytes(folder / "huge.bmp", bitmapHeader(16000, 16000));
  save(FIF_GIF, samplePalettized(), folder / "sample.gif");
  Bytes gif = readBytes(folder / "sample.gif");
  // 60000 x 4000 into the first image descriptor (after the GIF's extensions) and into the
  // IFF's BMHD chunk.
  const uint8_t huge[4] = {0x60, 0xEA, 0xA0, 0x0F};
  bool patched = false;
  for (size_t i = 13; i + 9 < gif.size() && !patched; ++i) {
    if (gif[i] == 0x2C && gif[i + 5] == kWidth && gif[i + 6] == 0 && gif[i + 7] == kHeight) {
      std::copy(huge, huge + 4, gif.begin() + long(i) + 5);
      patched = true;
    }
  }
  ASSERT_TRUE(patched);
  Bytes iff = ilbm();
  const uint8_t hugeBigEndian[4] = {0xEA, 0x60, 0x0F, 0xA0};
  std::copy(hugeBigEndian, hugeBigEndian + 4, iff.begin() + 20);
  writeBytes(folder / "huge.gif", gif);
  writeBytes(folder / "huge.lbm", iff);
  const long before = peakMiB();
  for (const char* name : {"huge.bmp", "huge.gif", "huge.lbm"}) {
    EXPECT_EQ(DecodedImage::load(folder / name), nullptr) << name;
  }
  EXPECT_LT(peakMiB() - before, 64);
}

// Random changes to the sample files (bytes flipped, overwritten with extremes, cut,
// inserted): none may crash, and whatever loads stays within the limits, which are small
// here so that a mutated size cannot make the run slow. The peak memory shows that no
// announced size was allocated for.
TEST_F(ImageDecoder, MutatedFilesNeverCrashOrExceedTheLimits) {
  constexpr int kMutations = 300;
  DecodedImage::setLimitsForTesting(512, 1 << 20);
  std::vector<Bytes> corpus;
  std::vector<std::string> extensions;
  for (const Sample& sample : writeLosslessSamples(folder)) {
    corpus.push_back(readBytes(sample.path));
    extensions.push_back(sample.path.substr(sample.path.rfind('.')));
  }
  save(FIF_JPEG, bitmap24(16, 16, colourAt), folder / "corpus.jpg");
  corpus.push_back(readBytes(folder / "corpus.jpg"));
  extensions.push_back(".jpg");

  std::mt19937 random(12345);
  const long before = peakMiB();
  int loaded = 0;
  for (int i = 0; i < kMutations; ++i) {
    const size_t pick = random() % corpus.size();
    Bytes bytes = corpus[pick];
    const int edits = 1 + int(random() % 4);
    for (int e = 0; e < edits && !bytes.empty(); ++e) {
      const size_t at = random() % bytes.size();
      switch (random() % 5) {
      case 0: bytes[at] ^= uint8_t(1u << (random() % 8)); break;
      case 1: bytes[at] = 0xFF; break;
      case 2: bytes[at] = uint8_t(random()); break;
      case 3: bytes.resize(at); break;
      default: bytes.insert(bytes.begin() + long(at), uint8_t(random())); break;
      }
    }
    const std::string path = folder / ("mutant" + extensions[pick]);
    writeBytes(path, bytes);
    if (const auto image = DecodedImage::load(path)) {
      ++loaded;
      ASSERT_LE(image->width(), 512);
      ASSERT_LE(image->height(), 512);
      uint32_t opaque = 0xFF000000u;
      for (int y = 0; y < image->height(); ++y) {
        for (int x = 0; x < image->width(); ++x) {
          opaque &= image->row(y)[x];
        }
      }
      EXPECT_EQ(opaque, 0xFF000000u);
    }
  }
  EXPECT_GT(loaded, 0);  // the run reached the decoders, not only the format checks
  EXPECT_LT(peakMiB() - before, 64);
}

}  // namespace
