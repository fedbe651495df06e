// Decoding and drawing a 640 x 480 movie into a 32-bit buffer without pacing (DrawMovie's
// work: decode, convert into the picture, copy onto the buffer) against FFmpeg decoding
// plus swscale conversion of the same file alone, in the same run. Frames per second are
// the items per second. Goal, judged on native machines only: at least 0.9 of the
// baseline's frame rate: the printed ratio, the baseline's time over ours.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include "bench/bench_ratio.h"
#include "bench/graphics/display_run.h"
#include "graphics/graphics_state.h"
#include "graphics/sys_graphics.h"
#include "graphics/sys_movie.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kFrames = 50;
std::string moviePath;

bool makeMovie(const std::string& path) {
    const std::string command =
        "ffmpeg -hide_banner -loglevel error -nostdin -y -f lavfi -i testsrc2=size=640x480:rate=25:duration=2 "
        "-c:v libx264 -preset veryfast -pix_fmt yuv420p '" + path + "'";
    return std::system(command.c_str()) == 0;
}

// The baseline: demux, decode and convert every frame into a 32-bit buffer, with
// FFmpeg's own calls and nothing of the runtime.
int decodeAlone(std::vector<uint8_t>& pixels) {
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, moviePath.c_str(), nullptr, nullptr) < 0 ||
        avformat_find_stream_info(format, nullptr) < 0) {
        return -1;
    }
    const AVCodec* decoder = nullptr;
    const int stream = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    AVCodecContext* codec = avcodec_alloc_context3(decoder);
    avcodec_parameters_to_context(codec, format->streams[stream]->codecpar);
    avcodec_open2(codec, decoder, nullptr);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    SwsContext* scaler = nullptr;
    uint8_t* planes[4] = {pixels.data(), nullptr, nullptr, nullptr};
    int pitches[4] = {kWidth * 4, 0, 0, 0};
    int frames = 0;
    bool draining = false;
    for (;;) {
        const int received = avcodec_receive_frame(codec, frame);
        if (received == 0) {
            scaler = sws_getCachedContext(scaler, frame->width, frame->height, AVPixelFormat(frame->format), kWidth,
                                          kHeight, AV_PIX_FMT_BGR0, SWS_BILINEAR, nullptr, nullptr, nullptr);
            sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, planes, pitches);
            ++frames;
            continue;
        }
        if (received != AVERROR(EAGAIN) || draining) {
            break;
        }
        if (av_read_frame(format, packet) < 0) {
            avcodec_send_packet(codec, nullptr);
            draining = true;
            continue;
        }
        if (packet->stream_index == stream) {
            avcodec_send_packet(codec, packet);
        }
        av_packet_unref(packet);
    }
    sws_freeContext(scaler);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&codec);
    avformat_close_input(&format);
    return frames;
}

void BM_FfmpegDecodeAndConvert(benchmark::State& state) {
    std::vector<uint8_t> pixels(size_t(kWidth) * kHeight * 4);
    int64_t frames = 0;
    for (auto _ : state) {
        const int decoded = decodeAlone(pixels);
        if (decoded != kFrames) {
            state.SkipWithError("the movie did not decode");
            break;
        }
        frames += decoded;
        benchmark::DoNotOptimize(pixels.data());
    }
    state.SetItemsProcessed(frames);
}

void BM_DrawMovieUnpaced(benchmark::State& state) {
    DisplayRun run(kWidth, kHeight, 32, 2);
    sysGraphics& display = *graphicsState.display;
    sysCanvas& buffer = *display.backCanvas();
    int64_t frames = 0;
    for (auto _ : state) {
        sysMovie* movie = display.openMovie(moviePath);
        if (!movie) {
            state.SkipWithError("the movie did not open");
            break;
        }
        movie->setPaced(false);
        int drawn = 0;
        while (movie->draw(buffer, 0, 0, kWidth, kHeight, nullptr)) {
            ++drawn;
        }
        display.closeMovie(handleOf(movie));
        if (drawn != kFrames) {
            state.SkipWithError("the movie did not play every frame");
            break;
        }
        frames += drawn;
    }
    state.SetItemsProcessed(frames);
}

BENCHMARK(BM_FfmpegDecodeAndConvert)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_DrawMovieUnpaced)->Unit(benchmark::kMillisecond)->Repetitions(3);

}  // namespace

int main(int argc, char** argv) {
    char folder[] = "/tmp/ks-movie-bench-XXXXXX";
    if (!::mkdtemp(folder)) {
        std::perror("movie_bench");
        return 1;
    }
    moviePath = std::string(folder) + "/movie.mp4";
    if (!makeMovie(moviePath)) {
        std::fprintf(stderr, "movie_bench: ffmpeg could not make %s (tools/install-deps.sh installs it)\n",
                     moviePath.c_str());
        return 1;
    }
    // The baseline's time over ours: our frame rate as a share of the baseline's.
    const int result = runWithRatios(
        argc, argv, {{"BM_FfmpegDecodeAndConvert/repeats:3", "BM_DrawMovieUnpaced/repeats:3"}});
    std::filesystem::remove_all(folder);
    return result;
}
