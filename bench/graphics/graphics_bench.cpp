// Canvas drawing against SDL2's software blitter on the same pixel memory, in the same run:
// blits (solid and colour-keyed), rectangle fills, lines and solid ovals at 16 and 32 bits,
// and a full-frame copy against memcpy of the same bytes. Prints pixels per second and the
// ratio to the baseline as a table after the benchmark output.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/emulation_notice.h"
#include "graphics/canvas.h"

namespace {

constexpr int frameW = 640;
constexpr int frameH = 480;

SDL_Surface* wrap(sysCanvas& c) {
    const SurfaceFormat& f = c.surface().format();
    return SDL_CreateRGBSurfaceFrom(c.surface().pixels(), c.width(), c.height(), f.depth, c.surface().pitch(),
                                    f.redMask, f.greenMask, f.blueMask, f.alphaMask);
}

// A canvas and the SDL surface over its memory.
struct Target {
    std::unique_ptr<sysCanvas> canvas;
    SDL_Surface* sdl = nullptr;
    SDL_Renderer* renderer = nullptr;
};

// A sprite: a filled disc on the mask colour (black), about 78% of the pixels solid.
std::unique_ptr<sysCanvas> sprite(int w, int h, const SurfaceFormat& f) {
    auto c = sysCanvas::create(w, h, CanvasSystemMemory, f, nullptr, nullptr);
    c->setColour(0x40C080);
    c->oval(0, 0, w, h, true);
    c->setColour(0xFF2020);
    c->rect(w / 4, h / 4, w / 2, h / 8 + 1, true);
    return c;
}

struct Depth {
    SurfaceFormat format;
    Target frame;
    std::map<int, Target> sprites;  // by side; 640 means a full frame
};

std::map<int, Depth> depths;

Depth& depth(int bits) {
    Depth& d = depths[bits];
    if (!d.frame.canvas) {
        d.format = bits == 16 ? SurfaceFormat::rgb565() : SurfaceFormat::xrgb8888();
        d.frame.canvas = sysCanvas::create(frameW, frameH, CanvasSystemMemory, d.format, nullptr, nullptr);
        d.frame.sdl = wrap(*d.frame.canvas);
        d.frame.renderer = SDL_CreateSoftwareRenderer(d.frame.sdl);
        for (int side : {32, 256, 640}) {
            Target t;
            t.canvas = side == 640 ? sprite(frameW, frameH, d.format) : sprite(side, side, d.format);
            t.sdl = wrap(*t.canvas);
            d.sprites[side] = std::move(t);
        }
    }
    return d;
}

void setPixels(benchmark::State& state, int64_t perIteration) {
    state.SetItemsProcessed(int64_t(state.iterations()) * perIteration);
}

void blitOurs(benchmark::State& state, int bits, int side, bool masked) {
    Depth& d = depth(bits);
    sysCanvas& dst = *d.frame.canvas;
    const sysCanvas& src = *d.sprites[side].canvas;
    const int x = side == 640 ? 0 : 17;
    const int y = side == 640 ? 0 : 9;
    for (auto _ : state) {
        dst.blit(x, y, src, 0, 0, src.width(), src.height(), !masked);
        benchmark::ClobberMemory();
    }
    setPixels(state, int64_t(src.width()) * src.height());
}

void blitSdl(benchmark::State& state, int bits, int side, bool masked) {
    Depth& d = depth(bits);
    Target& s = d.sprites[side];
    SDL_SetColorKey(s.sdl, masked ? SDL_TRUE : SDL_FALSE, 0);
    SDL_SetSurfaceBlendMode(s.sdl, SDL_BLENDMODE_NONE);
    const int x = side == 640 ? 0 : 17;
    const int y = side == 640 ? 0 : 9;
    for (auto _ : state) {
        SDL_Rect from{0, 0, s.canvas->width(), s.canvas->height()};
        SDL_Rect to{x, y, 0, 0};
        SDL_BlitSurface(s.sdl, &from, d.frame.sdl, &to);
        benchmark::ClobberMemory();
    }
    SDL_SetColorKey(s.sdl, SDL_FALSE, 0);
    setPixels(state, int64_t(s.canvas->width()) * s.canvas->height());
}

void frameMemcpy(benchmark::State& state, int bits) {
    const size_t bytes = size_t(frameW) * frameH * (bits / 8);
    std::vector<uint8_t> a(bytes, 1), b(bytes, 2);
    for (auto _ : state) {
        std::memcpy(a.data(), b.data(), bytes);
        benchmark::ClobberMemory();
    }
    setPixels(state, int64_t(frameW) * frameH);
}

void fillOurs(benchmark::State& state, int bits, int w, int h) {
    sysCanvas& dst = *depth(bits).frame.canvas;
    dst.setColour(0x336699);
    for (auto _ : state) {
        dst.rect(0, 0, w, h, true);
        benchmark::ClobberMemory();
    }
    setPixels(state, int64_t(w) * h);
}

void fillSdl(benchmark::State& state, int bits, int w, int h) {
    Depth& d = depth(bits);
    const uint32_t native = d.frame.canvas->pixelFormat().toNative(0xFF336699);
    for (auto _ : state) {
        SDL_Rect r{0, 0, w, h};
        SDL_FillRect(d.frame.sdl, &r, native);
        benchmark::ClobberMemory();
    }
    setPixels(state, int64_t(w) * h);
}

struct LineCase {
    int x1, y1, x2, y2;
    int64_t pixels() const { return std::max(std::abs(x2 - x1), std::abs(y2 - y1)) + 1; }
};

const LineCase horizontal{0, 100, frameW - 1, 100};
const LineCase vertical{100, 0, 100, frameH - 1};
const LineCase diagonal{0, 0, frameH - 1, frameH - 1};

void lineOurs(benchmark::State& state, int bits, LineCase l) {
    sysCanvas& dst = *depth(bits).frame.canvas;
    dst.setColour(0xFFEE00);
    for (auto _ : state) {
        dst.line(l.x1, l.y1, l.x2, l.y2);
        benchmark::ClobberMemory();
    }
    setPixels(state, l.pixels());
}

void lineSdl(benchmark::State& state, int bits, LineCase l) {
    Depth& d = depth(bits);
    SDL_SetRenderDrawColor(d.frame.renderer, 0xFF, 0xEE, 0x00, 0xFF);
    SDL_SetRenderDrawBlendMode(d.frame.renderer, SDL_BLENDMODE_NONE);
    for (auto _ : state) {
        SDL_RenderDrawLine(d.frame.renderer, l.x1, l.y1, l.x2, l.y2);
        SDL_RenderFlush(d.frame.renderer);
        benchmark::ClobberMemory();
    }
    setPixels(state, l.pixels());
}

// The spans of a solid oval, as the canvas computes them, for the SDL baseline.
std::vector<SDL_Rect> ovalSpans(int x, int y, int w, int h) {
    std::vector<SDL_Rect> spans;
    const float hh = float(h) * 0.5f;
    const float ratio = float(w) / float(h);
    const float cx = float(x) + float(w) * 0.5f + 0.5f;
    const float cy = float(y) + hh - 0.5f;
    for (int i = y; i < y + h; ++i) {
        const float dd = float(i) - cy;
        const float hw = std::sqrt(std::max(0.0f, hh * hh - dd * dd)) * ratio;
        const int xl = int(std::floor(cx - hw));
        const int xr = int(std::floor(cx + hw));
        if (xl < xr) {
            spans.push_back({xl, i, xr - xl, 1});
        }
    }
    return spans;
}

int64_t spanPixels(const std::vector<SDL_Rect>& spans) {
    int64_t n = 0;
    for (const SDL_Rect& r : spans) {
        n += r.w;
    }
    return n;
}

void ovalOurs(benchmark::State& state, int bits, int side) {
    sysCanvas& dst = *depth(bits).frame.canvas;
    dst.setColour(0x00FFEE);
    for (auto _ : state) {
        dst.oval(5, 3, side, side, true);
        benchmark::ClobberMemory();
    }
    setPixels(state, spanPixels(ovalSpans(5, 3, side, side)));
}

void ovalSdl(benchmark::State& state, int bits, int side) {
    Depth& d = depth(bits);
    const uint32_t native = d.frame.canvas->pixelFormat().toNative(0xFF00FFEE);
    for (auto _ : state) {
        // The span set-up is part of the work on both sides.
        const std::vector<SDL_Rect> spans = ovalSpans(5, 3, side, side);
        for (const SDL_Rect& r : spans) {
            SDL_FillRect(d.frame.sdl, &r, native);
        }
        benchmark::ClobberMemory();
    }
    setPixels(state, spanPixels(ovalSpans(5, 3, side, side)));
}

// Pairs of (ours, baseline) benchmark names, in table order.
struct Pair {
    std::string label, ours, base, baseName;
};
std::vector<Pair> pairs;

template <typename F, typename G>
void addPair(const std::string& label, F ours, G base, const std::string& baseName = "SDL2") {
    const std::string o = "ours/" + label;
    const std::string b = baseName + "/" + label;
    benchmark::RegisterBenchmark(o.c_str(), ours);
    benchmark::RegisterBenchmark(b.c_str(), base);
    pairs.push_back({label, o, b, baseName});
}

class Collector : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> rate;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            const auto it = r.counters.find("items_per_second");
            if (it != r.counters.end()) {
                rate[r.benchmark_name()] = it->second;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace

int main(int argc, char** argv) {
    SDL_SetMainReady();
    printEmulationNotice();
    for (int bits : {16, 32}) {
        const std::string b = std::to_string(bits);
        for (int side : {32, 256, 640}) {
            const std::string size = side == 640 ? "640x480" : std::to_string(side) + "x" + std::to_string(side);
            for (bool masked : {false, true}) {
                addPair("blit " + std::string(masked ? "masked " : "solid ") + size + " @" + b,
                        [=](benchmark::State& s) { blitOurs(s, bits, side, masked); },
                        [=](benchmark::State& s) { blitSdl(s, bits, side, masked); });
            }
        }
        addPair("full-frame solid copy @" + b, [=](benchmark::State& s) { blitOurs(s, bits, 640, false); },
                [=](benchmark::State& s) { frameMemcpy(s, bits); }, "memcpy");
        for (const auto& [w, h] : std::vector<std::pair<int, int>>{{32, 32}, {256, 256}, {640, 480}}) {
            addPair("fill " + std::to_string(w) + "x" + std::to_string(h) + " @" + b,
                    [=](benchmark::State& s) { fillOurs(s, bits, w, h); },
                    [=](benchmark::State& s) { fillSdl(s, bits, w, h); });
        }
        const std::pair<const char*, LineCase> lines[] = {
            {"horizontal", horizontal}, {"vertical", vertical}, {"diagonal", diagonal}};
        for (const auto& [name, l] : lines) {
            addPair(std::string("line ") + name + " @" + b, [=](benchmark::State& s) { lineOurs(s, bits, l); },
                    [=](benchmark::State& s) { lineSdl(s, bits, l); });
        }
        for (int side : {32, 256, 470}) {
            addPair("solid oval " + std::to_string(side) + " @" + b,
                    [=](benchmark::State& s) { ovalOurs(s, bits, side); },
                    [=](benchmark::State& s) { ovalSdl(s, bits, side); });
        }
    }
    benchmark::Initialize(&argc, argv);
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    benchmark::Shutdown();

    std::printf("\n| case | ours (Mpixels/s) | baseline | baseline (Mpixels/s) | ratio |\n");
    std::printf("|---|---:|---|---:|---:|\n");
    for (const Pair& p : pairs) {
        const auto o = collector.rate.find(p.ours);
        const auto b = collector.rate.find(p.base);
        if (o == collector.rate.end() || b == collector.rate.end() || b->second <= 0) {
            continue;
        }
        std::printf("| %s | %.1f | %s | %.1f | %.2f |\n", p.label.c_str(), o->second / 1e6, p.baseName.c_str(),
                    b->second / 1e6, o->second / b->second);
    }
    return 0;
}
