// Presenting a 640 x 480 32-bit picture in a window without vsync, against the floor of
// bare SDL doing the same work (SDL_UpdateTexture + SDL_RenderCopy + SDL_RenderPresent of
// the same pixels, on a window and renderer of its own, of the kind the display uses), in
// the same run: the display adapter alone, and Flip through the graphics module (a pixel
// drawn on the back buffer each frame, so that every Flip presents). Frames per second are
// the items per second. Goal, judged on native machines only: Flip within 1.2 of the floor
// and at least 500 frames per second.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

#include <cstring>

#include "bench/bench_ratio.h"
#include "bench/graphics/display_run.h"
#include "platform/display.h"
#include "platform/window.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

std::unique_ptr<PlatformWindow> window;
std::unique_ptr<PlatformDisplay> display;
std::unique_ptr<Surface> picture;
SDL_Window* bareWindow = nullptr;
SDL_Renderer* bareRenderer = nullptr;
SDL_Texture* bareTexture = nullptr;

bool setUp() {
  if (!platformStartVideo()) {
    return false;
  }
  picture = Surface::create(kWidth, kHeight, SurfaceFormat::xrgb8888(), SurfaceMemory::System);
  for (int y = 0; y < kHeight; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(picture->pixels() + y * picture->pitch());
    for (int x = 0; x < kWidth; ++x) {
      row[x] = uint32_t(x * 3) << 16 | uint32_t(y * 5) << 8 | uint32_t(x ^ y);
    }
  }
  window = std::make_unique<PlatformWindow>("present bench", false);
  display = PlatformDisplay::openWindow(*window, kWidth, kHeight, false, SurfaceFormat::xrgb8888());
  bareWindow = SDL_CreateWindow("bare SDL", 0, 0, kWidth, kHeight, SDL_WINDOW_SHOWN);
  // Headless, the display draws with SDL's software renderer; the floor does the same.
  const char* video = SDL_GetCurrentVideoDriver();
  const bool headless = video && (std::strcmp(video, "offscreen") == 0 || std::strcmp(video, "dummy") == 0);
  bareRenderer = bareWindow ? SDL_CreateRenderer(bareWindow, -1, headless ? SDL_RENDERER_SOFTWARE : 0) : nullptr;
  bareTexture = bareRenderer ? SDL_CreateTexture(bareRenderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                                                 kWidth, kHeight)
                             : nullptr;
  if (!display || !bareTexture) {
    return false;
  }
  // The first frames compile shaders and allocate buffers: keep them out of the timings.
  for (int i = 0; i < 3; ++i) {
    SDL_UpdateTexture(bareTexture, nullptr, picture->pixels(), picture->pitch());
    SDL_RenderCopy(bareRenderer, bareTexture, nullptr, nullptr);
    SDL_RenderPresent(bareRenderer);
    display->present(*picture, false);
  }
  return true;
}

void BM_BareSdlPresent(benchmark::State& state) {
  for (auto _ : state) {
    SDL_UpdateTexture(bareTexture, nullptr, picture->pixels(), picture->pitch());
    SDL_RenderCopy(bareRenderer, bareTexture, nullptr, nullptr);
    SDL_RenderPresent(bareRenderer);
  }
  state.SetItemsProcessed(int64_t(state.iterations()));
}

void BM_Present(benchmark::State& state) {
  for (auto _ : state) {
    if (display->present(*picture, false) != 0) {
      state.SkipWithError("present failed");
      break;
    }
  }
  state.SetItemsProcessed(int64_t(state.iterations()));
}

void BM_Flip(benchmark::State& state) {
  DisplayRun run(kWidth, kHeight, 32, 2);
  gfxcmd::setBuffer(gfxcmd::backBuffer());
  int32_t frame = 0;
  for (auto _ : state) {
    gfxcmd::writePixel(frame % kWidth, 0, frame, 0);
    gfxcmd::flip(0);
    ++frame;
  }
  state.SetItemsProcessed(int64_t(state.iterations()));
}

// Real time: the renderer may work on threads of its own.
BENCHMARK(BM_BareSdlPresent)->Unit(benchmark::kMicrosecond)->UseRealTime()->Repetitions(3);
BENCHMARK(BM_Present)->Unit(benchmark::kMicrosecond)->UseRealTime()->Repetitions(3);
BENCHMARK(BM_Flip)->Unit(benchmark::kMicrosecond)->UseRealTime()->Repetitions(3);

}  // namespace

int main(int argc, char** argv) {
  if (!setUp()) {
    std::fprintf(stderr, "present_bench: no window to present in: %s\n", SDL_GetError());
    return 1;
  }
  const int status = runWithRatios(argc, argv,
                                   {{"BM_Present/repeats:3/real_time", "BM_BareSdlPresent/repeats:3/real_time"},
                                    {"BM_Flip/repeats:3/real_time", "BM_BareSdlPresent/repeats:3/real_time"}});
  display.reset();
  window.reset();
  SDL_DestroyTexture(bareTexture);
  SDL_DestroyRenderer(bareRenderer);
  SDL_DestroyWindow(bareWindow);
  platformStopVideo();
  return status;
}
