// The sound engine's three figures: mixing 32 channels at 32 different pitches (CPU
// time per second of audio, against the goal of 2 percent of one core), the latency
// from a play to its first frame in the device buffer (goal under 30 ms with the
// default buffer), and loading a 10-second 16-bit stereo WAV against FFmpeg decoding
// the same file alone (goal at most 1.5 times).
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "audio/engine/sound_engine.h"
#include "bench/streams/ratio_report.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace {

std::string wavFile;

double threadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

void writeTenSecondWav(const std::string& path) {
  constexpr int kRate = 44100;
  constexpr int kFrames = kRate * 10;
  std::vector<int16_t> data(size_t(kFrames) * 2);
  for (int i = 0; i < kFrames; ++i) {
    data[2 * size_t(i)] = int16_t(12000 * std::sin(2 * M_PI * 440 * i / kRate));
    data[2 * size_t(i) + 1] = int16_t(12000 * std::sin(2 * M_PI * 660 * i / kRate));
  }
  const uint32_t bytes = uint32_t(data.size() * 2);
  std::ofstream out(path, std::ios::binary);
  auto u32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
  auto u16 = [&](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
  out.write("RIFF", 4);
  u32(36 + bytes);
  out.write("WAVEfmt ", 8);
  u32(16);
  u16(1);
  u16(2);
  u32(kRate);
  u32(kRate * 4);
  u16(4);
  u16(16);
  out.write("data", 4);
  u32(bytes);
  out.write(reinterpret_cast<const char*>(data.data()), bytes);
}

// One second of audio mixed from 32 looping voices, each at its own pitch.
void BM_Mix32ChannelsOneSecond(benchmark::State& state) {
  SoundEngine engine;
  Sample* const sample = engine.loadSample(wavFile);
  engine.setSampleLoop(sample, true);
  for (int i = 0; i < SoundEngine::kChannels; ++i) {
    const int channel = engine.playSample(SoundEngine::kAnyFree, sample);
    engine.setFrequency(channel, 22050 + 1500 * i);
    engine.setPan(channel, i * 8);
  }
  std::vector<int16_t> out(size_t(kMixRate) * 2);
  const double before = threadCpuSeconds();
  for (auto _ : state) {
    engine.mix(out.data(), kMixRate);
    benchmark::DoNotOptimize(out.data());
  }
  // CPU time per second of audio, as a percentage of one core.
  state.counters["percent_of_core"] = 100.0 * (threadCpuSeconds() - before) / double(state.iterations());
  engine.freeSample(sample);
}

// From a play to the moment its first frame was mixed into the device's buffer, on the
// output thread, with the default buffer.
void BM_PlayToFirstFrame(benchmark::State& state) {
  SoundEngine engine;
  Sample* const sample = engine.loadSample(wavFile);
  for (auto _ : state) {
    const int channel = engine.playSample(SoundEngine::kAnyFree, sample);
    while (!engine.hasOutput(channel)) {
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    state.PauseTiming();
    engine.stop(channel);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // land anywhere in a buffer
    state.ResumeTiming();
  }
  engine.freeSample(sample);
}

void BM_LoadSoundWav(benchmark::State& state) {
  SoundEngine engine;
  for (auto _ : state) {
    Sample* const sample = engine.loadSample(wavFile);
    benchmark::DoNotOptimize(sample);
    engine.freeSample(sample);
  }
}

// FFmpeg alone: open, find the stream, decode every packet; no conversion, no copy.
void BM_FfmpegDecodeWav(benchmark::State& state) {
  for (auto _ : state) {
    AVFormatContext* format = nullptr;
    avformat_open_input(&format, wavFile.c_str(), nullptr, nullptr);
    avformat_find_stream_info(format, nullptr);
    const AVCodec* decoder = nullptr;
    const int stream = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    AVCodecContext* codec = avcodec_alloc_context3(decoder);
    avcodec_parameters_to_context(codec, format->streams[stream]->codecpar);
    avcodec_open2(codec, decoder, nullptr);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    int64_t samples = 0;
    while (av_read_frame(format, packet) >= 0) {
      avcodec_send_packet(codec, packet);
      while (avcodec_receive_frame(codec, frame) == 0) {
        samples += frame->nb_samples;
      }
      av_packet_unref(packet);
    }
    benchmark::DoNotOptimize(samples);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&codec);
    avformat_close_input(&format);
  }
}

BENCHMARK(BM_Mix32ChannelsOneSecond)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_PlayToFirstFrame)->Unit(benchmark::kMillisecond)->Iterations(40)->UseRealTime();
BENCHMARK(BM_FfmpegDecodeWav)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_LoadSoundWav)->Unit(benchmark::kMillisecond)->Repetitions(3);

}  // namespace

int main(int argc, char** argv) {
  char dir[] = "/tmp/ks_audio_bench_XXXXXX";
  if (!::mkdtemp(dir)) {
    return 1;
  }
  wavFile = std::string(dir) + "/ten_seconds.wav";
  writeTenSecondWav(wavFile);
  std::printf("Mixing goal: percent_of_core under 2 (CPU time per second of audio mixed). "
              "Latency goal: BM_PlayToFirstFrame under 30 ms.\n");
  const int result = runWithRatios(argc, argv, {{"BM_LoadSoundWav", "BM_FfmpegDecodeWav", 1.5}});
  ::unlink(wavFile.c_str());
  ::rmdir(dir);
  return result;
}
