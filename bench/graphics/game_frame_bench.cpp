// A frame of a typical 2-D game through the graphics commands on a headless 640 x 480
// 32-bit window: Cls, 500 32 x 32 blocks copied with CopyRect from an off-screen buffer,
// 20 lines of Text and Flip (vsync off). Prints frames per second; the goal is at least
// 300 on a native machine.
#include <benchmark/benchmark.h>

#include "basic/ks_str.h"
#include "bench/emulation_notice.h"
#include "bench/graphics/display_run.h"
#include "graphics/graphics_state.h"
#include "graphics/sys_graphics.h"

namespace {

using namespace gfxcmd;

void BM_GameFrame(benchmark::State& state) {
    DisplayRun run(640, 480, 32, 2);
    // The sprite sheet: an off-screen buffer of 16 tiles of 32 x 32.
    sysCanvas* sheet = graphicsState.display->createCanvas(512, 32, 0);
    const int32_t sheetHandle = int32_t(handleOf(sheet));
    setBuffer(sheetHandle);
    for (int32_t tile = 0; tile < 16; ++tile) {
        color(tile * 16, 255 - tile * 16, 128);
        oval(tile * 32, 0, 32, 32, 1);
    }
    setBuffer(backBuffer());
    const int32_t back = backBuffer();
    int32_t frame = 0;
    for (auto _ : state) {
        cls();
        for (int32_t i = 0; i < 500; ++i) {
            const int32_t x = (i * 37 + frame * 3) % 608;
            const int32_t y = (i * 53 + frame * 2) % 448;
            copyRect((i % 16) * 32, 0, 32, 32, x, y, sheetHandle, back);
        }
        for (int32_t line = 0; line < 20; ++line) {
            text(8, 8 + line * 14, ksStrNew("Score 001234  Lives 3  Level 7  Time 02:31"), 0, 0);
        }
        flip(0);
        ++frame;
    }
    state.counters["frames_per_second"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_GameFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    printEmulationNotice();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
