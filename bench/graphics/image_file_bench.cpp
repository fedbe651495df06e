// Loading a 1024 x 1024 PNG into a 32-bit canvas against FreeImage's own load and
// conversion to 32 bits of the same file, in the same run. Goal, judged on native machines
// only: at most 1.3 times the baseline.
#include <FreeImage.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/bench_ratio.h"
#include "graphics/image_file.h"

namespace {

constexpr int kSide = 1024;
std::string picturePath;

// Smooth gradients with a little noise, about as compressible as drawn game art.
bool writePicture(const std::string& path) {
    FIBITMAP* dib = FreeImage_Allocate(kSide, kSide, 24);
    uint32_t noise = 1;
    for (int y = 0; y < kSide; ++y) {
        BYTE* row = FreeImage_GetScanLine(dib, y);
        for (int x = 0; x < kSide; ++x) {
            noise = noise * 1103515245u + 12345u;
            const int jitter = int(noise >> 29);
            row[3 * x + FI_RGBA_RED] = BYTE(x / 4 + jitter);
            row[3 * x + FI_RGBA_GREEN] = BYTE(y / 4 + jitter);
            row[3 * x + FI_RGBA_BLUE] = BYTE((x ^ y) / 8);
        }
    }
    const bool saved = FreeImage_Save(FIF_PNG, dib, path.c_str(), PNG_DEFAULT) != 0;
    FreeImage_Unload(dib);
    return saved;
}

void BM_FreeImageLoadAndConvert(benchmark::State& state) {
    for (auto _ : state) {
        FIBITMAP* loaded = FreeImage_Load(FIF_PNG, picturePath.c_str(), 0);
        FIBITMAP* converted = loaded ? FreeImage_ConvertTo32Bits(loaded) : nullptr;
        if (!converted) {
            state.SkipWithError("FreeImage could not load the picture");
            break;
        }
        benchmark::DoNotOptimize(FreeImage_GetBits(converted));
        FreeImage_Unload(converted);
        FreeImage_Unload(loaded);
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
}

void BM_LoadCanvas(benchmark::State& state) {
    for (auto _ : state) {
        const auto canvas = loadCanvasFile(picturePath, 0, SurfaceFormat::xrgb8888(), nullptr, nullptr);
        if (!canvas) {
            state.SkipWithError("the picture did not load");
            break;
        }
        benchmark::DoNotOptimize(canvas->surface().pixels());
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
}

BENCHMARK(BM_FreeImageLoadAndConvert)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_LoadCanvas)->Unit(benchmark::kMillisecond)->Repetitions(3);

}  // namespace

int main(int argc, char** argv) {
    char folder[] = "/tmp/ks-image-bench-XXXXXX";
    if (!::mkdtemp(folder)) {
        std::perror("image_file_bench");
        return 1;
    }
    picturePath = std::string(folder) + "/picture.png";
    if (!writePicture(picturePath)) {
        std::fprintf(stderr, "image_file_bench: cannot write %s\n", picturePath.c_str());
        return 1;
    }
    const int status = runWithRatios(
        argc, argv, {{"BM_LoadCanvas/repeats:3", "BM_FreeImageLoadAndConvert/repeats:3"}});
    std::remove(picturePath.c_str());
    ::rmdir(folder);
    return status;
}
