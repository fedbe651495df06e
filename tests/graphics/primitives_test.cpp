// Drawing primitives checked pixel by pixel: clear, plot, line clipping and stepping,
// rectangle outlines, oval spans and outlines, and the text hand-off with a test font.
#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "canvas_test_support.h"
#include "graphics/font_face.h"

namespace {

using Points = std::set<std::pair<int, int>>;

// The surface points that hold `on`.
Points pointsOf(const sysCanvas& c, uint32_t on) {
    Points p;
    for (int y = 0; y < c.height(); ++y) {
        for (int x = 0; x < c.width(); ++x) {
            if (nativeAt(c, x, y) == on) {
                p.insert({x, y});
            }
        }
    }
    return p;
}

class Primitives : public ::testing::TestWithParam<NamedFormat> {
protected:
    std::unique_ptr<sysCanvas> canvas(int w, int h) {
        auto c = makeCanvas(w, h, GetParam().format);
        c->setColour(0xFFFFFF);
        return c;
    }
};

TEST_P(Primitives, LineFromOriginToFourTwo) {
    auto c = canvas(8, 8);
    c->line(0, 0, 4, 2);
    EXPECT_EQ(pointsOf(*c, c->nativeColour()), (Points{{0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 2}}));
    auto r = canvas(8, 8);
    r->line(4, 2, 0, 0);  // drawn from the other end: its own error terms
    EXPECT_EQ(pointsOf(*r, r->nativeColour()), (Points{{4, 2}, {3, 1}, {2, 1}, {1, 0}, {0, 0}}));
}

TEST_P(Primitives, LineIsClippedToTheViewport) {
    auto c = canvas(20, 10);
    c->line(-10, 5, 10, 5);
    Points want;
    for (int x = 0; x <= 10; ++x) {
        want.insert({x, 5});
    }
    EXPECT_EQ(pointsOf(*c, c->nativeColour()), want);
    EXPECT_EQ(c->modificationCounter(), 1u + 11u);

    auto above = canvas(20, 10);
    above->setViewport(0, 3, 20, 7);
    const uint32_t before = above->modificationCounter();
    above->line(0, 1, 19, 2);
    EXPECT_TRUE(pointsOf(*above, above->nativeColour()).empty());
    EXPECT_EQ(above->modificationCounter(), before);

    // A steep line through a small viewport stays inside it.
    auto steep = canvas(20, 20);
    steep->setViewport(5, 5, 6, 6);
    steep->line(-3, -40, 17, 60);
    for (const auto& [x, y] : pointsOf(*steep, steep->nativeColour())) {
        EXPECT_TRUE(x >= 5 && x < 11 && y >= 5 && y < 11) << x << "," << y;
    }
    EXPECT_FALSE(pointsOf(*steep, steep->nativeColour()).empty());
}

TEST_P(Primitives, DegenerateLineDrawsOnePixelAtTheOrigin) {
    auto c = canvas(10, 10);
    c->setOrigin(2, 4);
    const uint32_t before = c->modificationCounter();
    c->line(3, 3, 3, 3);
    EXPECT_EQ(pointsOf(*c, c->nativeColour()), (Points{{5, 7}}));
    EXPECT_EQ(c->modificationCounter(), before + 1);
}

TEST_P(Primitives, LinesInEveryOctantDrawBothEnds) {
    const int ends[][2] = {{9, 2}, {2, 9}, {-2, 9}, {-9, 2}, {-9, -2}, {-2, -9}, {2, -9}, {9, -2}, {5, 5}, {-5, 5}};
    for (const auto& e : ends) {
        auto c = canvas(21, 21);
        c->line(10, 10, 10 + e[0], 10 + e[1]);
        const Points p = pointsOf(*c, c->nativeColour());
        EXPECT_TRUE(p.count({10, 10}) && p.count({10 + e[0], 10 + e[1]})) << e[0] << "," << e[1];
        EXPECT_EQ(int(p.size()), std::max(std::abs(e[0]), std::abs(e[1])) + 1);
    }
}

TEST_P(Primitives, FarOffLineEndPointsDoNotWrap) {
    auto c = canvas(16, 16);
    c->setOrigin(0x7FFFFFF0, 0);
    c->line(-0x7FFFFFF0, 3, 0x7FFFFFFF, 3);
    Points want;
    for (int x = 0; x < 16; ++x) {
        want.insert({x, 3});
    }
    EXPECT_EQ(pointsOf(*c, c->nativeColour()), want);
}

TEST_P(Primitives, PlotHonoursOriginAndViewport) {
    auto c = canvas(10, 10);
    c->setOrigin(1, 2);
    c->setViewport(0, 0, 5, 5);
    c->plot(2, 2);
    c->plot(4, 0);
    c->plot(-2, 0);
    EXPECT_EQ(pointsOf(*c, c->nativeColour()), (Points{{3, 4}}));
}

TEST_P(Primitives, ClearFillsOnlyTheViewport) {
    auto c = canvas(8, 6);
    c->setClsColour(0x00FF00);
    c->setOrigin(3, 3);  // plays no part
    c->setViewport(1, 2, 3, 2);
    c->clear();
    EXPECT_EQ(picture(*c, c->nativeClsColour()),
              (std::vector<std::string>{"........", "........", ".###....", ".###....", "........", "........"}));
}

TEST_P(Primitives, RectangleOutlinesAndSolids) {
    auto c = canvas(8, 6);
    c->rect(1, 1, 5, 4, false);
    EXPECT_EQ(picture(*c, c->nativeColour()),
              (std::vector<std::string>{"........", ".#####..", ".#...#..", ".#...#..", ".#####..", "........"}));
    auto thin = canvas(5, 6);
    thin->rect(2, 1, 1, 4, false);
    EXPECT_EQ(picture(*thin, thin->nativeColour()),
              (std::vector<std::string>{".....", "..#..", "..#..", "..#..", "..#..", "....."}));
    const uint32_t before = thin->modificationCounter();
    thin->rect(0, 0, 0, 4, false);
    thin->rect(0, 0, 3, -1, true);
    EXPECT_EQ(thin->modificationCounter(), before);
    // Clipped outline: the left edge lies outside the viewport and is skipped.
    auto clipped = canvas(8, 4);
    clipped->setViewport(2, 0, 6, 4);
    clipped->rect(1, 0, 5, 4, false);
    EXPECT_EQ(picture(*clipped, clipped->nativeColour()),
              (std::vector<std::string>{"..####..", ".....#..", ".....#..", "..####.."}));
    auto solid = canvas(6, 4);
    solid->setOrigin(-1, 1);
    solid->rect(0, 0, 3, 2, true);
    EXPECT_EQ(picture(*solid, solid->nativeColour()),
              (std::vector<std::string>{"......", "##....", "##....", "......"}));
}

TEST_P(Primitives, OneByOneOvalFillsItsPixel) {
    for (bool solid : {true, false}) {
        auto c = canvas(8, 8);
        c->oval(3, 5, 1, 1, solid);
        EXPECT_EQ(pointsOf(*c, c->nativeColour()), (Points{{3, 5}})) << solid;
    }
}

TEST_P(Primitives, TenByTenSolidOvalRows) {
    auto c = canvas(12, 12);
    c->oval(1, 1, 10, 10, true);
    EXPECT_EQ(picture(*c, c->nativeColour()), (std::vector<std::string>{
                                                  "............",
                                                  "....####....",
                                                  "..########..",
                                                  "..########..",
                                                  ".##########.",
                                                  ".##########.",
                                                  ".##########.",
                                                  ".##########.",
                                                  "..########..",
                                                  "..########..",
                                                  "....####....",
                                                  "............",
                                              }));
}

TEST_P(Primitives, OvalOutlineHasNoGapsAndMatchesTheSolidEdge) {
    auto c = canvas(14, 10);
    c->oval(1, 1, 12, 8, false);
    EXPECT_EQ(picture(*c, c->nativeColour()), (std::vector<std::string>{
                                                  "..............",
                                                  "....######....",
                                                  "..##......##..",
                                                  ".#..........#.",
                                                  ".#..........#.",
                                                  ".#..........#.",
                                                  ".#..........#.",
                                                  "..##......##..",
                                                  "....######....",
                                                  "..............",
                                              }));
}

TEST_P(Primitives, ClippedOvalOutlineKeepsItsVisibleEdge) {
    auto whole = canvas(14, 10);
    whole->oval(1, 1, 12, 8, false);
    auto cut = canvas(14, 10);
    cut->setViewport(0, 3, 14, 4);
    cut->oval(1, 1, 12, 8, false);
    const auto full = picture(*whole, whole->nativeColour());
    const auto part = picture(*cut, cut->nativeColour());
    for (int y = 0; y < 10; ++y) {
        EXPECT_EQ(part[size_t(y)], y >= 3 && y < 7 ? full[size_t(y)] : std::string(14, '.')) << y;
    }
}

// A fixed-pitch test font: every character advances by its code mod 5 + 2 (so widths
// differ), and drawing a run records it and fills one cell-sized box per character.
class TestFont : public FontFace {
public:
    int32_t height() const override { return 4; }
    int32_t advance(uint8_t ch) const override { return ch % 5 + 2; }
    void drawRun(sysCanvas& canvas, int32_t x, int32_t y, std::string_view run, uint32_t argb) override {
        runs.push_back({x, y, std::string(run), argb});
        for (char ch : run) {
            canvas.rect(x, y, advance(uint8_t(ch)) - 1, height(), true);
            x += advance(uint8_t(ch));
        }
    }
    struct Run {
        int32_t x, y;
        std::string text;
        uint32_t argb;
    };
    std::vector<Run> runs;
};

TEST_P(Primitives, TextSkipsCharactersLeftOfTheViewport) {
    TestFont font;
    auto c = canvas(40, 10);
    c->setFont(&font);
    c->setColour(0xFFFFFF);
    c->setViewport(10, 0, 12, 10);
    c->setOrigin(2, 1);
    // 'A'=65: 2, 'B': 3, 'C': 4, 'D': 5, 'E': 6. Start at surface x 2 - 3 = -1.
    c->text(-3, 0, "ABCDEABC");
    ASSERT_EQ(font.runs.size(), 1u);
    // A ends at 1, B at 4, C at 8, D at 13 > 10: D is the first taken, at x -3 + 9 = 6
    // (surface 8). D to 13, E to 19, A to 21, B to 24 >= 22: B is the last taken.
    EXPECT_EQ(font.runs[0].text, "DEAB");
    EXPECT_EQ(font.runs[0].x, 6);
    EXPECT_EQ(font.runs[0].y, 0);
    EXPECT_EQ(font.runs[0].argb, c->colour());
}

TEST_P(Primitives, TextOutsideTheViewportHandsNothingOver) {
    TestFont font;
    auto c = canvas(40, 10);
    c->setFont(&font);
    c->setViewport(5, 4, 20, 4);
    c->text(25, 4, "AB");        // starts at the right edge
    c->text(0, 8, "AB");         // at the bottom edge
    c->text(0, 0, "AB");         // 0 + height 4 <= top 4
    c->text(-100, 5, "ABCDE");   // every character left of the viewport
    c->text(0, 5, "");
    EXPECT_TRUE(font.runs.empty());
    c->text(4, 1, "A");          // reaches one row and one column into the viewport
    EXPECT_EQ(font.runs.size(), 1u);
    c->setFont(nullptr);
    c->text(6, 5, "A");
    EXPECT_EQ(font.runs.size(), 1u);
}

TEST_P(Primitives, TextRunIsDrawnClippedThroughBlitsOfTheFont) {
    TestFont font;
    auto c = canvas(20, 6);
    c->setFont(&font);
    c->setViewport(3, 0, 8, 6);
    c->text(0, 1, "AAAAAA");  // six cells of 2: boxes of 1 pixel at 0, 2, 4, ...
    EXPECT_EQ(picture(*c, c->nativeColour())[1], "....#.#.#.#.........");
}

INSTANTIATE_TEST_SUITE_P(AllFormats, Primitives, ::testing::ValuesIn(allFormats()),
                         [](const auto& info) { return std::string("Depth") + info.param.name; });

}  // namespace
