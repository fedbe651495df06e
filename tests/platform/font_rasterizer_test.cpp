// The font layer against fontconfig and FreeType themselves: which face a request finds
// (styles, "courier", added files before and after they are forgotten), cell sizing, and
// glyphs rendered monochrome into their cells, clipped, with synthetic styles.
#include "platform/font_rasterizer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/windows1252.h"
#include "tests/platform/freetype_reference.h"

namespace {

std::string fileName(const std::string& path) { return std::filesystem::path(path).filename().string(); }

FaceMatch faceOf(const std::string& family, bool bold = false, bool italic = false) {
  const auto match = findFace({family, bold, italic, {}});
  EXPECT_TRUE(match.has_value()) << family;
  return match.value_or(FaceMatch{});
}

// A picture the rasterizer draws into, every pixel starting at `fill`.
struct Picture {
  Picture(int w, int h, uint8_t fill = 0) : pixels(size_t(w) * size_t(h), fill), width(w), height(h) {}
  GlyphBitmap bitmap() { return {pixels.data(), width, height, width}; }
  uint8_t at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
  int ink() const {
    int n = 0;
    for (const uint8_t p : pixels) {
      n += p == 255;
    }
    return n;
  }
  std::vector<uint8_t> pixels;
  int width;
  int height;
};

TEST(FontFiles, CourierIsMonospacedLiberationMonoInEveryStyle) {
  for (const char* name : {"courier", "Courier", "Courier New"}) {
    const FaceMatch regular = faceOf(name);
    EXPECT_EQ(fileName(regular.file), "LiberationMono-Regular.ttf") << name;
    FreeTypeReference face(regular.file, regular.index, 12);
    ASSERT_TRUE(face.valid());
    EXPECT_TRUE(face.fixedWidth()) << name;
  }
  const FaceMatch bold = faceOf("courier", true, false);
  EXPECT_EQ(fileName(bold.file), "LiberationMono-Bold.ttf");
  EXPECT_TRUE(bold.bold);
  EXPECT_FALSE(bold.italic);
  const FaceMatch italic = faceOf("courier", false, true);
  EXPECT_EQ(fileName(italic.file), "LiberationMono-Italic.ttf");
  EXPECT_TRUE(italic.italic);
  const FaceMatch both = faceOf("courier", true, true);
  EXPECT_EQ(fileName(both.file), "LiberationMono-BoldItalic.ttf");
  EXPECT_TRUE(both.bold && both.italic);
}

TEST(FontFiles, MissingFamilyStillFindsAnInstalledFace) {
  const FaceMatch match = faceOf("No Such Family At All");
  EXPECT_TRUE(std::filesystem::is_regular_file(match.file));
  EXPECT_NE(match.family, "No Such Family At All");
  EXPECT_TRUE(std::filesystem::is_regular_file(faceOf("").file));
}

TEST(FontFiles, AddedFileIsFoundUntilForgotten) {
  ScratchFolder folder;
  const std::string copy = canonicalFontPath(folder.copy(liberationDir + "LiberationMono-Regular.ttf", "Deco.ttf"));
  ASSERT_FALSE(copy.empty());
  ASSERT_TRUE(addFontFile(copy));

  // No family is called Deco, so the program's own file gives the face.
  const auto added = findFace({"Deco", true, false, copy});
  ASSERT_TRUE(added);
  EXPECT_EQ(added->file, copy);
  EXPECT_FALSE(added->bold) << "the file has only a regular face; bold is left to synthesis";
  // A family that exists by that name still wins over the file.
  const auto named = findFace({"DejaVu Serif", false, false, copy});
  ASSERT_TRUE(named);
  EXPECT_EQ(fileName(named->file), "DejaVuSerif.ttf");
  // Without naming the file, "Deco" is fontconfig's ordinary best match.
  EXPECT_NE(findFace({"Deco", false, false, {}})->file, copy);

  forgetFontFiles();
  const auto forgotten = findFace({"Deco", false, false, copy});
  ASSERT_TRUE(forgotten);
  EXPECT_NE(forgotten->file, copy);
}

TEST(FontFiles, OnlyRegularFilesHoldingAFaceAreAdded) {
  ScratchFolder folder;
  std::ofstream(folder.path + "/Notes.txt") << "not a font";
  folder.copy(dejavuDir + "DejaVuSans.ttf", "Fonts.d/Inner.ttf");
  EXPECT_FALSE(addFontFile(folder.path + "/Notes.txt"));
  EXPECT_FALSE(addFontFile(folder.path + "/Fonts.d")) << "a folder of fonts is not a font file";
  EXPECT_FALSE(addFontFile(folder.path + "/Missing.ttf"));
  EXPECT_EQ(canonicalFontPath(folder.path + "/Fonts.d"), "");
  forgetFontFiles();
}

TEST(RasterFaceTest, FaceThatCannotBeOpenedIsRefused) {
  EXPECT_FALSE(RasterFace::open({"/nonexistent/font.ttf", 0, "", false, false}, 12, {}));
  ScratchFolder folder;
  const std::string text = folder.path + "/Fake.ttf";
  std::ofstream(text) << "not a font at all";
  EXPECT_FALSE(RasterFace::open({text, 0, "", false, false}, 12, {}));
}

// A bitmap font with one glyph, 'A', in a single 8-pixel size.
const char* const pixelBdf = R"(STARTFONT 2.1
FONT -misc-pixeltest-medium-r-normal--8-80-75-75-c-60-iso10646-1
SIZE 8 75 75
FONTBOUNDINGBOX 6 8 0 -2
STARTPROPERTIES 3
FONT_ASCENT 6
FONT_DESCENT 2
DEFAULT_CHAR 65
ENDPROPERTIES
CHARS 1
STARTCHAR A
ENCODING 65
SWIDTH 750 0
DWIDTH 6 0
BBX 6 8 0 -2
BITMAP
00
30
48
84
FC
84
84
00
ENDCHAR
ENDFONT
)";

TEST(RasterFaceTest, BitmapFontIsUsedAtItsOwnSize) {
  ScratchFolder folder;
  std::ofstream(folder.path + "/Pixel.bdf") << pixelBdf;
  const std::string file = canonicalFontPath(folder.path + "/Pixel.bdf");
  ASSERT_TRUE(addFontFile(file));
  const auto match = findFace({"Pixel", false, false, file});
  ASSERT_TRUE(match);
  EXPECT_EQ(match->file, file);
  const auto face = RasterFace::open(*match, 12, {});
  ASSERT_TRUE(face);
  EXPECT_EQ(face->cellHeight(), 8);
  EXPECT_EQ(face->ascent(), 6);
  EXPECT_EQ(face->advance('A'), 6);
  Picture picture(6, 8);
  GlyphBitmap bitmap = picture.bitmap();
  face->render('A', bitmap, 0, 0);
  const char* const expected[] = {"......", "..##..", ".#..#.", "#....#", "######", "#....#", "#....#", "......"};
  for (int y = 0; y < 8; ++y) {
    std::string row;
    for (int x = 0; x < 6; ++x) {
      row += picture.at(x, y) == 255 ? '#' : '.';
    }
    EXPECT_EQ(row, expected[y]) << "row " << y;
  }
  forgetFontFiles();
}

TEST(RasterFaceTest, GlyphsAreFreeTypesMonochromeBitmapsInTheirCells) {
  const FaceMatch match = faceOf("DejaVu Sans");
  const int height = 21;
  const auto face = RasterFace::open(match, height, {});
  ASSERT_TRUE(face);
  FreeTypeReference reference(match.file, match.index, height);
  for (const uint8_t code : {uint8_t('g'), uint8_t('W'), uint8_t('j'), uint8_t('@'), uint8_t(0xC5), uint8_t(0x80)}) {
    Picture picture(60, 50);
    GlyphBitmap bitmap = picture.bitmap();
    const int cellX = 11;
    const int cellY = 7;
    face->render(code, bitmap, cellX, cellY);
    const auto glyph = reference.glyph(windows1252ToUnicode(code));
    const int cellRight = cellX + face->advance(code);
    int expectedInk = 0;
    for (int y = 0; y < picture.height; ++y) {
      for (int x = 0; x < picture.width; ++x) {
        const int row = y - (cellY + face->ascent() - glyph.top);
        const int col = x - (cellX + glyph.left);
        const bool inCell = x >= cellX && x < cellRight && y >= cellY && y < cellY + height;
        const bool ink = inCell && row >= 0 && row < int(glyph.rows.size()) && col >= 0 &&
                         col < int(glyph.rows[size_t(row)].size()) && glyph.rows[size_t(row)][size_t(col)] == '#';
        expectedInk += ink;
        ASSERT_EQ(picture.at(x, y), ink ? 255 : 0) << "code " << int(code) << " at " << x << "," << y;
      }
    }
    EXPECT_GT(expectedInk, 0) << int(code);
  }
}

TEST(RasterFaceTest, RenderingStaysInsideCellAndBitmapAndLeavesOtherPixels) {
  const auto face = RasterFace::open(faceOf("Liberation Serif", true, true), 30, {});
  ASSERT_TRUE(face);
  // Cells hanging over each edge of a small picture: only pixels inside both change.
  for (const auto& [cellX, cellY] : std::vector<std::pair<int, int>>{{-9, -12}, {14, 20}, {-5, 10}, {40, -40}}) {
    Picture picture(24, 24, 7);
    GlyphBitmap bitmap = picture.bitmap();
    face->render('W', bitmap, cellX, cellY);
    face->render('g', bitmap, cellX, cellY);
    for (int y = 0; y < 24; ++y) {
      for (int x = 0; x < 24; ++x) {
        const bool inCell = x >= cellX && x < cellX + face->advance('W') && y >= cellY && y < cellY + 30;
        if (!inCell) {
          ASSERT_EQ(picture.at(x, y), 7) << cellX << "," << cellY << " pixel " << x << "," << y;
        } else {
          ASSERT_TRUE(picture.at(x, y) == 7 || picture.at(x, y) == 255);
        }
      }
    }
  }
  Picture picture(40, 40);
  GlyphBitmap bitmap = picture.bitmap();
  face->render(RasterFace::first - 1, bitmap, 0, 0);
  face->render(RasterFace::last + 1, bitmap, 0, 0);
  EXPECT_EQ(picture.ink(), 0);
}

TEST(RasterFaceTest, DefaultCharacterLiesInRangeAndShowsTheMissingGlyph) {
  const auto face = RasterFace::open(faceOf("Liberation Sans"), 16, {});
  ASSERT_TRUE(face);
  EXPECT_GE(face->defaultChar(), RasterFace::first);
  EXPECT_LE(face->defaultChar(), RasterFace::last);
  EXPECT_GT(face->advance(face->defaultChar()), 0);
  Picture picture(40, 20);
  GlyphBitmap bitmap = picture.bitmap();
  face->render(face->defaultChar(), bitmap, 0, 0);
  EXPECT_GT(picture.ink(), 0) << "the missing-glyph box shows";
}

TEST(RasterFaceTest, UnderlineRunsAcrossEachCellBelowTheBaseline) {
  const FaceMatch match = faceOf("Liberation Sans");
  const auto plain = RasterFace::open(match, 24, {});
  const auto underlined = RasterFace::open(match, 24, {false, false, true});
  ASSERT_TRUE(plain && underlined);
  Picture space(40, 24);
  GlyphBitmap bitmap = space.bitmap();
  plain->render(' ', bitmap, 0, 0);
  EXPECT_EQ(space.ink(), 0);
  underlined->render(' ', bitmap, 0, 0);
  const int advance = underlined->advance(' ');
  EXPECT_EQ(advance, plain->advance(' '));
  int rows = 0;
  for (int y = 0; y < 24; ++y) {
    int inked = 0;
    for (int x = 0; x < 40; ++x) {
      inked += space.at(x, y) == 255;
    }
    if (inked > 0) {
      ++rows;
      EXPECT_EQ(inked, advance) << "row " << y << " spans the whole cell and no more";
      EXPECT_GE(y, underlined->ascent()) << "below the baseline";
    }
  }
  EXPECT_GE(rows, 1);
}

TEST(RasterFaceTest, MissingStylesAreSynthesised) {
  // Matched as regular: bold widens every stroke and cell, italic slants.
  const FaceMatch regular = faceOf("Liberation Mono");
  const auto upright = RasterFace::open(regular, 20, {});
  const auto bolded = RasterFace::open(regular, 20, {true, false, false});
  const auto slanted = RasterFace::open(regular, 20, {false, true, false});
  ASSERT_TRUE(upright && bolded && slanted);
  EXPECT_EQ(bolded->advance('H'), upright->advance('H') + 1);
  EXPECT_EQ(slanted->advance('H'), upright->advance('H'));
  Picture a(30, 20);
  Picture b(30, 20);
  GlyphBitmap ab = a.bitmap();
  GlyphBitmap bb = b.bitmap();
  upright->render('H', ab, 0, 0);
  bolded->render('H', bb, 0, 0);
  EXPECT_GT(b.ink(), a.ink());

  // The slant: the leftmost ink of 'l' moves right from its bottom row to its top row.
  auto leftmost = [](const Picture& p, int y) {
    for (int x = 0; x < p.width; ++x) {
      if (p.at(x, y) == 255) {
        return x;
      }
    }
    return -1;
  };
  auto lean = [&](const RasterFace& face) {
    Picture p(30, 20);
    GlyphBitmap bitmap = p.bitmap();
    face.render('l', bitmap, 0, 0);
    int top = 0;
    while (top < 20 && leftmost(p, top) < 0) {
      ++top;
    }
    const int bottom = face.ascent() - 1;
    return leftmost(p, top) - leftmost(p, bottom);
  };
  EXPECT_GE(lean(*slanted), lean(*upright) + 2);

  // A face that is bold already is not made heavier.
  const FaceMatch realBold = faceOf("Liberation Mono", true, false);
  const auto real = RasterFace::open(realBold, 20, {true, false, false});
  ASSERT_TRUE(real);
  FreeTypeReference reference(realBold.file, realBold.index, 20);
  EXPECT_EQ(real->advance('H'), reference.advance('H'));
}

TEST(Windows1252, BytesMapToTheirCodePoints) {
  EXPECT_EQ(windows1252ToUnicode('A'), 0x41u);
  EXPECT_EQ(windows1252ToUnicode(0x80), 0x20ACu);  // euro sign
  EXPECT_EQ(windows1252ToUnicode(0x85), 0x2026u);  // ellipsis
  EXPECT_EQ(windows1252ToUnicode(0x8A), 0x160u);   // S with caron
  EXPECT_EQ(windows1252ToUnicode(0x99), 0x2122u);  // trade mark
  EXPECT_EQ(windows1252ToUnicode(0x9F), 0x178u);   // Y with diaeresis
  for (const uint8_t undefined : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) {
    EXPECT_EQ(windows1252ToUnicode(undefined), undefined);
  }
  EXPECT_EQ(windows1252ToUnicode(0xA0), 0xA0u);
  EXPECT_EQ(windows1252ToUnicode(0xE9), 0xE9u);
  EXPECT_EQ(windows1252ToUnicode(0xFF), 0xFFu);
}

}  // namespace
