// Text drawing: an 80-character line in the default font ("courier", 12) drawn with
// sysCanvas::text onto a 640x480 32-bit canvas, against rendering the same line with
// FreeType each time (load and render every character, then blit its bitmap onto the same
// canvas). Glyphs per second for both, and the time ratio (goal on a native machine:
// 0.10 or less, i.e. ten times faster).
#include <ft2build.h>
#include FT_FREETYPE_H
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "bench/bench_ratio.h"
#include "graphics/sys_font.h"
#include "platform/font_rasterizer.h"
#include "platform/windows1252.h"

namespace {

constexpr std::string_view line = "The quick brown fox jumps over the lazy dog; 0123456789 (Kestrel text bench) !?.";
static_assert(line.size() == 80);
constexpr int fontHeight = 12;
constexpr uint32_t textColour = 0xFFE080;

struct Scene {
    std::unique_ptr<sysCanvas> canvas;
    std::unique_ptr<sysFont> font;
    std::vector<std::string> addedFiles;
    FT_Library library = nullptr;
    FT_Face face = nullptr;

    Scene() {
        const SurfaceFormat format = SurfaceFormat::xrgb8888();
        canvas = sysCanvas::create(640, 480, CanvasSystemMemory, format, nullptr, nullptr);
        font = sysFont::load("courier", fontHeight, 0, format, 640, nullptr, addedFiles);
        canvas->setFont(font.get());
        canvas->setColour(textColour);
        const auto match = findFace({"courier", false, false, {}});
        FT_Init_FreeType(&library);
        FT_New_Face(library, match->file.c_str(), match->index, &face);
        FT_Size_RequestRec request{FT_SIZE_REQUEST_TYPE_CELL, 0, fontHeight * 64, 0, 0};
        FT_Request_Size(face, &request);
    }
};

Scene& scene() {
    static Scene s;
    return s;
}

void BM_TextFromGlyphSheet(benchmark::State& state) {
    Scene& s = scene();
    for (auto _ : state) {
        s.canvas->text(0, 200, line);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(line.size()));
}

void BM_TextRenderedByFreeType(benchmark::State& state) {
    Scene& s = scene();
    sysCanvas& canvas = *s.canvas;
    const int ascent = int((FT_MulFix(s.face->ascender, s.face->size->metrics.y_scale) + 32) >> 6);
    for (auto _ : state) {
        canvas.lock();
        int pen = 0;
        for (const char c : line) {
            if (FT_Load_Char(s.face, windows1252ToUnicode(uint8_t(c)), FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) != 0) {
                continue;
            }
            const FT_GlyphSlot g = s.face->glyph;
            const int left = pen + g->bitmap_left;
            const int top = 200 + ascent - g->bitmap_top;
            for (unsigned r = 0; r < g->bitmap.rows; ++r) {
                const uint8_t* bits = g->bitmap.buffer + r * g->bitmap.pitch;
                for (unsigned col = 0; col < g->bitmap.width; ++col) {
                    const int x = left + int(col);
                    const int y = top + int(r);
                    if ((bits[col >> 3] & (0x80 >> (col & 7))) && x >= 0 && x < canvas.width() && y >= 0 &&
                        y < canvas.height()) {
                        canvas.setPixelRaw(x, y, textColour);
                    }
                }
            }
            pen += int((g->advance.x + 32) >> 6);
        }
        canvas.unlock();
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(line.size()));
}

BENCHMARK(BM_TextFromGlyphSheet);
BENCHMARK(BM_TextRenderedByFreeType);

}  // namespace

int main(int argc, char** argv) {
    return runWithRatios(argc, argv, {{"BM_TextFromGlyphSheet", "BM_TextRenderedByFreeType"}});
}
