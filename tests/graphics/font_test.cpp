// Fonts: loading (heights, styles, font files added by path and forgotten), measuring
// against FreeType itself, and drawing runs onto canvases of each depth: black text,
// clipping through origin and viewport, codes outside the range and above 127.
#include "graphics/sys_font.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <numeric>

#include "canvas_test_support.h"
#include "platform/font_rasterizer.h"
#include "platform/windows1252.h"
#include "tests/platform/freetype_reference.h"

namespace {

constexpr int frontWidth = 640;

std::unique_ptr<sysFont> loadFont(const std::string& name, int height, int flags = 0,
                                  const SurfaceFormat& format = SurfaceFormat::xrgb8888(), int width = frontWidth) {
    std::vector<std::string> added;
    auto font = sysFont::load(name, height, flags, format, width, nullptr, added);
    sysFont::forgetFontFiles(added);
    return font;
}

// Pixels of the canvas that differ from `background`.
int changed(const sysCanvas& c, uint32_t background) {
    int n = 0;
    for (const uint32_t p : snapshot(c)) {
        n += p != background;
    }
    return n;
}

// White pixels of the glyph sheet in a code's cell.
int sheetInk(const sysFont& font, uint8_t code) {
    const sysCanvas& sheet = font.glyphSheet();
    const uint32_t white = sheet.pixelFormat().toNative(0xFFFFFF);
    int index = code;
    if (!font.hasGlyph(code)) {
        index = font.defaultChar();
    }
    // Cells are laid out left to right and wrap like text; find this one by walking them.
    int x = 0;
    int y = 0;
    for (int c = font.first(); c < font.end(); ++c) {
        const int w = font.advance(uint8_t(c));
        if (x != 0 && x + w > frontWidth) {
            x = 0;
            y += font.height();
        }
        if (c == index) {
            break;
        }
        x += w;
    }
    int n = 0;
    for (int yy = y; yy < y + font.height(); ++yy) {
        for (int xx = x; xx < x + font.advance(uint8_t(index)); ++xx) {
            n += nativeAt(sheet, xx, yy) == white;
        }
    }
    return n;
}

std::string bytes(std::initializer_list<int> codes) {
    std::string s;
    for (const int c : codes) {
        s += char(uint8_t(c));
    }
    return s;
}

TEST(FontLoad, HeightIsTheRequestedCellHeight) {
    for (const char* name : {"courier", "Liberation Sans", "DejaVu Serif"}) {
        for (const int height : {1, 9, 12, 16, 33, 64}) {
            const auto font = loadFont(name, height);
            ASSERT_TRUE(font) << name << " " << height;
            EXPECT_EQ(font->height(), height) << name;
            EXPECT_EQ(font->glyphSheet().height() % height, 0);
        }
    }
}

TEST(FontLoad, AdvancesAndTextWidthsAreFreeTypes) {
    for (const auto& [name, height] : std::vector<std::pair<std::string, int>>{
             {"courier", 12}, {"Liberation Sans", 17}, {"DejaVu Serif", 20}}) {
        const auto font = loadFont(name, height);
        ASSERT_TRUE(font);
        const auto face = findFace({name, false, false, {}});
        ASSERT_TRUE(face);
        FreeTypeReference reference(face->file, face->index, height);
        ASSERT_TRUE(reference.valid());
        for (int code = 32; code < 256; ++code) {
            EXPECT_EQ(font->advance(uint8_t(code)), reference.advance(windows1252ToUnicode(uint8_t(code))))
                << name << " code " << code;
        }
        for (const std::string text : {"Hello, World!", "Kestrel & co: 99% \"done\"", "Gr\xfc\xdf" "e \x80" "5 \x85"}) {
            int expected = 0;
            for (const char c : text) {
                expected += reference.advance(windows1252ToUnicode(uint8_t(c)));
            }
            EXPECT_EQ(font->stringWidth(text), expected) << name << ": " << text;
        }
        EXPECT_EQ(font->stringWidth(""), 0);
        if (name == "courier") {
            EXPECT_TRUE(reference.fixedWidth());
            for (int code = 0; code < 256; ++code) {
                ASSERT_EQ(font->advance(uint8_t(code)), font->widestAdvance()) << code;
            }
        }
    }
}

TEST(FontLoad, RangeIs32To255WithADefaultCharacterInside) {
    const auto font = loadFont("Liberation Serif", 14);
    ASSERT_TRUE(font);
    EXPECT_EQ(font->first(), 32);
    EXPECT_EQ(font->end(), 256);
    EXPECT_TRUE(font->hasGlyph(font->defaultChar()));
    EXPECT_FALSE(font->hasGlyph(31));
    EXPECT_TRUE(font->hasGlyph(32));
    EXPECT_TRUE(font->hasGlyph(255));
    EXPECT_FALSE(font->hasGlyph(256));
    for (int code = 0; code < 32; ++code) {
        EXPECT_EQ(font->advance(uint8_t(code)), font->advance(uint8_t(font->defaultChar()))) << code;
    }
    EXPECT_EQ(font->stringWidth("\t\n"), 2 * font->advance(uint8_t(font->defaultChar())));
}

TEST(FontLoad, BoldIsHeavierThanRegular) {
    const auto regular = loadFont("courier", 16);
    const auto bold = loadFont("courier", 16, sysFont::Bold);
    ASSERT_TRUE(regular && bold);
    int regularInk = 0;
    int boldInk = 0;
    for (const char c : std::string("The quick brown fox")) {
        regularInk += sheetInk(*regular, uint8_t(c));
        boldInk += sheetInk(*bold, uint8_t(c));
    }
    EXPECT_GT(boldInk, regularInk + regularInk / 5);
    const auto italic = loadFont("courier", 16, sysFont::Italic);
    ASSERT_TRUE(italic);
    EXPECT_NE(snapshot(italic->glyphSheet()), snapshot(regular->glyphSheet()));
}

TEST(FontLoad, MissingFaceNameStillGivesAFont) {
    const auto font = loadFont("Surely No Such Face", 12);
    ASSERT_TRUE(font);
    EXPECT_EQ(font->height(), 12);
    EXPECT_GT(font->stringWidth("abc"), 0);
    EXPECT_TRUE(loadFont("", 12));
}

TEST(FontLoad, HeightsOutsideOneTo256AreRefused) {
    for (const int height : {0, -1, -12, 257, 100000}) {
        EXPECT_FALSE(loadFont("courier", height)) << height;
    }
    const auto tall = loadFont("courier", 256);
    ASSERT_TRUE(tall);
    EXPECT_EQ(tall->height(), 256);
    EXPECT_FALSE(loadFont("courier", 12, 0, SurfaceFormat::xrgb8888(), 0)) << "no front buffer width";
}

class FontFile : public ::testing::Test {
protected:
    void SetUp() override { saved = std::filesystem::current_path(); }
    void TearDown() override {
        std::filesystem::current_path(saved);
        sysFont::forgetFontFiles(added);
    }
    std::unique_ptr<sysFont> load(const std::string& name, int height, int flags = 0) {
        return sysFont::load(name, height, flags, SurfaceFormat::xrgb8888(), frontWidth, nullptr, added);
    }
    static bool monospaced(const sysFont& font) {
        for (int code = 32; code < 256; ++code) {
            if (font.advance(uint8_t(code)) != font.widestAdvance()) {
                return false;
            }
        }
        return true;
    }
    ScratchFolder folder;
    std::filesystem::path saved;
    std::vector<std::string> added;
};

TEST_F(FontFile, FileNamedByPathIsAddedOnceAndItsFaceUsed) {
    // "Deco" is no installed family: the face comes from the file (Liberation Mono inside).
    const std::string mono = liberationDir + "LiberationMono-Regular.ttf";
    folder.copy(mono, "fonts/Deco.ttf");
    std::filesystem::current_path(folder.path);
    const auto font = load("fonts\\Deco.ttf", 15);
    ASSERT_TRUE(font);
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(added[0], std::filesystem::canonical(folder.path + "/fonts/Deco.ttf").string());
    EXPECT_TRUE(monospaced(*font));
    FreeTypeReference reference(mono, 0, 15);
    EXPECT_EQ(font->advance('M'), reference.advance('M'));

    EXPECT_TRUE(load("fonts/Deco.ttf", 20));
    EXPECT_EQ(added.size(), 1u) << "the same file is added once";
    const auto byName = load("Deco", 15);
    ASSERT_TRUE(byName);
    EXPECT_FALSE(monospaced(*byName)) << "the plain name is not the file";

    sysFont::forgetFontFiles(added);
    EXPECT_TRUE(added.empty());
}

TEST_F(FontFile, FileWithOnlyARegularFaceGetsSyntheticBold) {
    folder.copy(liberationDir + "LiberationMono-Regular.ttf", "Plain.ttf");
    const auto regular = load(folder.path + "/Plain.ttf", 16);
    const auto bold = load(folder.path + "/Plain.ttf", 16, sysFont::Bold);
    ASSERT_TRUE(regular && bold);
    EXPECT_EQ(bold->advance('x'), regular->advance('x') + 1);
    EXPECT_GT(sheetInk(*bold, 'x'), sheetInk(*regular, 'x'));
}

TEST_F(FontFile, InstalledFamilyOfTheFileNameWinsAndNonFontsAreNotRemembered) {
    folder.copy(liberationDir + "LiberationMono-Regular.ttf", "Liberation Serif.v2.ttf");
    const auto font = load(folder.path + "/Liberation Serif.v2.ttf", 18);
    ASSERT_TRUE(font);
    EXPECT_EQ(added.size(), 1u);
    EXPECT_FALSE(monospaced(*font)) << "the installed Liberation Serif, as the face name asks";

    std::ofstream(folder.path + "/Notes.txt") << "no font here";
    EXPECT_TRUE(load(folder.path + "/Notes.txt", 12)) << "a font all the same (best match for Notes)";
    EXPECT_TRUE(load(folder.path + "/Missing.ttf", 12));
    EXPECT_EQ(added.size(), 1u);
}

// Drawing, on canvases of each depth.
class FontDraw : public ::testing::TestWithParam<NamedFormat> {
protected:
    std::unique_ptr<sysFont> font(const std::string& name = "courier", int height = 12, int width = frontWidth) {
        auto f = loadFont(name, height, 0, GetParam().format, width);
        EXPECT_TRUE(f);
        return f;
    }
    std::unique_ptr<sysCanvas> canvas(int w, int h, sysFont& f, uint32_t background) {
        auto c = makeCanvas(w, h, GetParam().format);
        c->setClsColour(background);
        c->clear();
        c->setFont(&f);
        return c;
    }
    uint32_t native(uint32_t argb) const { return PixelFormat::fromSurface(GetParam().format).toNative(argb); }
    uint32_t argbOf(const sysCanvas& c, int x, int y) const {
        return c.pixelFormat().toArgb(nativeAt(c, x, y)) & 0xFFFFFF;
    }
};

TEST_P(FontDraw, TextKeepsItsColourAndChangesOnlyGlyphPixels) {
    const auto f = font("Liberation Sans", 16);
    auto c = canvas(200, 30, *f, 0x204060);
    c->setColour(0xF0C080);
    const std::string text = "Ab&g\xe9!";
    c->text(3, 4, text);
    int ink = 0;
    for (const char ch : text) {
        ink += sheetInk(*f, uint8_t(ch));
    }
    EXPECT_GT(sheetInk(*f, '&'), 0) << "'&' is an ordinary character";
    EXPECT_EQ(changed(*c, native(0x204060)), ink);
    for (const uint32_t p : snapshot(*c)) {
        ASSERT_TRUE(p == native(0x204060) || p == native(0xF0C080));
    }
}

TEST_P(FontDraw, BlackTextArrivesAsBlueSixteen) {
    const auto f = font();
    for (const uint32_t black : {0x000000u, 0xFF000000u, 0x000004u}) {
        auto c = canvas(120, 20, *f, 0xFFFFFF);
        c->setColour(black);
        if ((c->colour() & 0xFFFFFF) != 0) {
            continue;  // this depth keeps the near-black apart from black
        }
        c->text(0, 0, "Black text");
        ASSERT_GT(changed(*c, native(0xFFFFFF)), 0);
        const uint32_t white = c->pixelFormat().toArgb(native(0xFFFFFF)) & 0xFFFFFF;
        for (int y = 0; y < 20; ++y) {
            for (int x = 0; x < 120; ++x) {
                const uint32_t rgb = argbOf(*c, x, y);
                ASSERT_TRUE(rgb == white || rgb == 0x000010) << std::hex << rgb;
            }
        }
    }
}

TEST_P(FontDraw, RunIsClippedThroughOriginAndViewport) {
    const auto f = font("DejaVu Sans", 14);
    const uint32_t background = 0x102030;
    const std::string text = "Clipped text \xc0\xe7\x80 WW";
    // The reference: the same text unclipped, on a canvas with no origin.
    auto reference = canvas(160, 40, *f, background);
    reference->setColour(0xFFFF00);
    reference->text(-7 + 20, 5 + 6, text);
    for (const auto& [left, top, width, height] :
         std::vector<std::array<int, 4>>{{30, 13, 50, 7}, {0, 0, 25, 40}, {60, 14, 100, 3}, {19, 0, 1, 40}}) {
        auto c = canvas(160, 40, *f, background);
        c->setColour(0xFFFF00);
        c->setOrigin(20, 6);
        c->setViewport(left, top, width, height);
        c->text(-7, 5, text);
        for (int y = 0; y < 40; ++y) {
            for (int x = 0; x < 160; ++x) {
                const bool inside = x >= left && x < left + width && y >= top && y < top + height;
                const uint32_t expected = inside ? nativeAt(*reference, x, y) : native(background);
                ASSERT_EQ(nativeAt(*c, x, y), expected) << "viewport " << left << "," << top << " pixel " << x
                                                        << "," << y;
            }
        }
    }
}

TEST_P(FontDraw, HighAndOutOfRangeCodesDrawWithTheirAdvances) {
    const auto f = font("Liberation Serif", 18);
    const std::string text = bytes({0xC9, 't', 0xE9, 0x80, 0x01, 'W', 0x9F, 0x0A, 0xFF});
    auto whole = canvas(240, 24, *f, 0);
    auto pieces = canvas(240, 24, *f, 0);
    whole->setColour(0xFFFFFF);
    pieces->setColour(0xFFFFFF);
    whole->text(2, 1, text);
    int x = 2;
    for (const char ch : text) {
        // A code below the range stands for the default character, in both measure and picture.
        const uint8_t shown = f->hasGlyph(uint8_t(ch)) ? uint8_t(ch) : uint8_t(f->defaultChar());
        pieces->text(x, 1, std::string(1, char(shown)));
        x += f->advance(uint8_t(ch));
    }
    EXPECT_EQ(snapshot(*whole), snapshot(*pieces));
    EXPECT_NE(sheetInk(*f, 0xE9), sheetInk(*f, 'e')) << "e acute has its own glyph";
    EXPECT_GT(sheetInk(*f, 0x01), 0) << "the default character shows";
}

TEST_P(FontDraw, WideRunGrowsTheScratchWhichNeverShrinks) {
    // Ten courier cells fill a row of the sheet exactly; the 224 cells take 23 rows.
    const int cell = font("courier", 12)->widestAdvance();
    const auto f = font("courier", 12, 10 * cell);
    EXPECT_EQ(f->glyphSheet().width(), 10 * cell);
    EXPECT_EQ(f->glyphSheet().height(), 23 * 12);
    EXPECT_EQ(f->scratchWidth(), 10 * cell) << "the front width at first";
    const std::string text = "A run much wider than the front buffer";
    auto wide = canvas(400, 12, *f, 0);
    wide->setColour(0x00FF00);
    wide->text(0, 0, text);
    EXPECT_GE(f->scratchWidth(), f->stringWidth(text));
    const int grown = f->scratchWidth();
    auto pieces = canvas(400, 12, *f, 0);
    pieces->setColour(0x00FF00);
    for (size_t i = 0; i < text.size(); ++i) {
        pieces->text(int(i) * f->widestAdvance(), 0, text.substr(i, 1));
    }
    EXPECT_EQ(snapshot(*wide), snapshot(*pieces));
    wide->text(0, 0, "ab");
    EXPECT_EQ(f->scratchWidth(), grown);
}

INSTANTIATE_TEST_SUITE_P(Depths, FontDraw,
                         ::testing::Values(NamedFormat{"565", SurfaceFormat::rgb565()},
                                           NamedFormat{"888", SurfaceFormat::rgb888()},
                                           NamedFormat{"8888", SurfaceFormat::xrgb8888()}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
