// Images on a headless display, each against a baseline in the same run: ImagesCollide of
// two overlapping 64 x 64 frames with centred handles, 13 pixels apart (unaligned), against
// a per-pixel test of the same placement; DrawImage of 32 x 32 masked frames onto a 32-bit
// display buffer against SDL2's colour-key blit of the same surfaces; and the 64 x 64
// bilinear rotation that RotateImage runs per frame. Prints the speed-ups after the table.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cmath>

#include "bench/bench_ratio.h"
#include "bench/graphics/display_run.h"
#include "graphics/frame_transform.h"
#include "graphics/graphics_state.h"
#include "graphics/image.h"
#include "graphics/sys_graphics.h"

namespace {

using namespace gfxcmd;

// A run on a 640 x 480 32-bit display, drawing on the back buffer.
struct Run : DisplayRun {
    Run() : DisplayRun(640, 480, 32, 1) { setBuffer(backBuffer()); }
};

sysCanvas* frameOf(int32_t image) {
    return reinterpret_cast<Image*>(uintptr_t(uint32_t(image)))->frames[0];
}

// A 64 x 64 disc drawn only on its even rows: two of them placed an odd number of rows
// apart overlap without touching, so the test walks the whole overlap.
int32_t stripedDisc() {
    const int32_t image = createImage(64, 64);
    sysCanvas* frame = frameOf(image);
    frame->setColour(0x40C080);
    frame->oval(0, 0, 64, 64, true);
    frame->setColour(0);
    for (int32_t y = 1; y < 64; y += 2) {
        frame->rect(0, y, 64, 1, true);
    }
    midHandle(image);
    return image;
}

constexpr int32_t kAx = 200, kAy = 200, kBx = 213, kBy = 207;

void BM_ImagesCollide(benchmark::State& state) {
    Run run;
    const int32_t a = stripedDisc(), b = stripedDisc();
    imagesCollide(a, kAx, kAy, 0, b, kBx, kBy, 0);  // the masks are built on the first test
    int32_t hits = 0;
    for (auto _ : state) {
        hits += imagesCollide(a, kAx, kAy, 0, b, kBx, kBy, 0);
    }
    if (hits != 0) {
        state.SkipWithError("the frames were meant not to touch");
    }
    state.counters["collisions_per_second"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

// The same test pixel by pixel over the overlap, on the locked frames.
bool collidePerPixel(sysCanvas& a, int32_t ax, int32_t ay, sysCanvas& b, int32_t bx, int32_t by) {
    const int32_t al = ax - a.handleX(), at = ay - a.handleY(), bl = bx - b.handleX(), bt = by - b.handleY();
    const int32_t left = std::max(al, bl), right = std::min(al + a.width(), bl + b.width());
    const int32_t top = std::max(at, bt), bottom = std::min(at + a.height(), bt + b.height());
    const uint32_t maskA = a.maskColour() & 0xFFFFFF, maskB = b.maskColour() & 0xFFFFFF;
    bool hit = false;
    a.lock();
    b.lock();
    for (int32_t y = top; y < bottom && !hit; ++y) {
        for (int32_t x = left; x < right; ++x) {
            if ((a.getPixelRaw(x - al, y - at) & 0xFFFFFF) != maskA &&
                (b.getPixelRaw(x - bl, y - bt) & 0xFFFFFF) != maskB) {
                hit = true;
                break;
            }
        }
    }
    b.unlock();
    a.unlock();
    return hit;
}

void BM_ImagesCollidePerPixel(benchmark::State& state) {
    Run run;
    sysCanvas& a = *frameOf(stripedDisc());
    sysCanvas& b = *frameOf(stripedDisc());
    int32_t hits = 0;
    for (auto _ : state) {
        hits += collidePerPixel(a, kAx, kAy, b, kBx, kBy) ? 1 : 0;
    }
    if (hits != 0) {
        state.SkipWithError("the frames were meant not to touch");
    }
    state.counters["collisions_per_second"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

constexpr int kSprites = 200;

int32_t spriteX(int i) { return (i * 37) % 600 + 3; }
int32_t spriteY(int i) { return (i * 53) % 440 + 1; }

// A 32 x 32 disc on the mask colour (black) with a bar across it.
int32_t discSprite() {
    const int32_t image = createImage(32, 32);
    sysCanvas* frame = frameOf(image);
    frame->setColour(0x40C080);
    frame->oval(0, 0, 32, 32, true);
    frame->setColour(0xFF2020);
    frame->rect(8, 8, 16, 5, true);
    return image;
}

void BM_DrawImage(benchmark::State& state) {
    Run run;
    const int32_t sprite = discSprite();
    for (auto _ : state) {
        for (int i = 0; i < kSprites; ++i) {
            drawImage(sprite, spriteX(i), spriteY(i));
        }
    }
    state.counters["sprites_per_second"] =
        benchmark::Counter(double(state.iterations()) * kSprites, benchmark::Counter::kIsRate);
}

SDL_Surface* wrap(sysCanvas& c) {
    const SurfaceFormat& f = c.surface().format();
    return SDL_CreateRGBSurfaceFrom(c.surface().pixels(), c.width(), c.height(), f.depth, c.surface().pitch(),
                                    f.redMask, f.greenMask, f.blueMask, f.alphaMask);
}

void BM_DrawImageSdlColourKey(benchmark::State& state) {
    Run run;
    SDL_Surface* sprite = wrap(*frameOf(discSprite()));
    SDL_Surface* buffer = wrap(*graphicsState.display->backCanvas());
    SDL_SetColorKey(sprite, SDL_TRUE, 0);
    for (auto _ : state) {
        for (int i = 0; i < kSprites; ++i) {
            SDL_Rect at{spriteX(i), spriteY(i), 32, 32};
            SDL_BlitSurface(sprite, nullptr, buffer, &at);
        }
    }
    SDL_FreeSurface(sprite);
    SDL_FreeSurface(buffer);
    state.counters["sprites_per_second"] =
        benchmark::Counter(double(state.iterations()) * kSprites, benchmark::Counter::kIsRate);
}

void BM_RotateImage(benchmark::State& state) {
    Run run;
    tFormFilter(1);
    const int32_t image = stripedDisc();
    sysCanvas& frame = *frameOf(image);
    const float t = -30.0f * 0.017453292f;
    for (auto _ : state) {
        std::unique_ptr<sysCanvas> turned = transformFrame(frame, std::cos(t), -std::sin(t), std::sin(t),
                                                           std::cos(t), frame.handleX(), frame.handleY());
        benchmark::DoNotOptimize(turned.get());
    }
    state.counters["frames_per_second"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_ImagesCollide)->UseRealTime();
BENCHMARK(BM_ImagesCollidePerPixel)->UseRealTime();
BENCHMARK(BM_DrawImage)->UseRealTime();
BENCHMARK(BM_DrawImageSdlColourKey)->UseRealTime();
BENCHMARK(BM_RotateImage)->UseRealTime();

}  // namespace

// Each ratio is the baseline's time over ours: how many times faster ours is (goals: at
// least 20 for ImagesCollide, at least 1.5 for DrawImage, on a native machine).
int main(int argc, char** argv) {
    return runWithRatios(argc, argv,
                         {{"BM_ImagesCollidePerPixel/real_time", "BM_ImagesCollide/real_time"},
                          {"BM_DrawImageSdlColourKey/real_time", "BM_DrawImage/real_time"}});
}
