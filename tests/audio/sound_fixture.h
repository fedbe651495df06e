// Sound files made at test time (WAV of any shape written here, Ogg Vorbis and MP3
// converted from it by sox), the example's module and MIDI file, a temporary working
// directory, and polling with a generous deadline.
#pragma once
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace soundtest {

// Mono or stereo frames, interleaved, in -32768..32767.
inline std::vector<int16_t> sine(double hertz, int rate, double seconds, double amplitude,
                                 int channels = 1) {
  const int frames = int(rate * seconds);
  std::vector<int16_t> out;
  out.reserve(size_t(frames) * channels);
  for (int i = 0; i < frames; ++i) {
    const int16_t v = int16_t(std::lrint(amplitude * 32767 * std::sin(2 * M_PI * hertz * i / rate)));
    for (int c = 0; c < channels; ++c) {
      out.push_back(v);
    }
  }
  return out;
}

inline void put(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A PCM WAV file; 8-bit samples are written unsigned, as the format has them.
inline void writeWav(const std::string& path, int rate, int channels, int bits,
                     const std::vector<int16_t>& samples) {
  std::string data;
  for (const int16_t s : samples) {
    if (bits == 8) {
      data.push_back(char(uint8_t((s >> 8) + 128)));
    } else {
      data.push_back(char(s & 0xFF));
      data.push_back(char((s >> 8) & 0xFF));
    }
  }
  auto u32 = [](uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
  auto u16 = [](uint16_t v) { return std::string{char(v), char(v >> 8)}; };
  const int block = channels * bits / 8;
  const std::string header = "RIFF" + u32(uint32_t(36 + data.size())) + "WAVE" + "fmt " + u32(16) + u16(1) +
                             u16(uint16_t(channels)) + u32(uint32_t(rate)) + u32(uint32_t(rate * block)) +
                             u16(uint16_t(block)) + u16(uint16_t(bits)) + "data" + u32(uint32_t(data.size()));
  put(path, header + data);
}

// Converts with sox (installed by tools/install-deps.sh); the format follows the name.
inline void convert(const std::string& from, const std::string& to) {
  const std::string command = "sox -q '" + from + "' '" + to + "' 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

inline std::string exampleAsset(const std::string& name) {
  return std::string(KS_SOUND_ASSETS) + "/" + name;
}

// Polls until the condition holds; false after the deadline (generous: the tests may
// run under an emulator on a busy machine).
inline bool waitFor(const std::function<bool()>& condition, int seconds = 30) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// A fresh temporary directory as the working directory for one test.
class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/ks_sound_XXXXXX";
    root = ::mkdtemp(pattern) ? pattern : "";
    saved = std::filesystem::current_path();
    std::filesystem::current_path(root);
  }
  ~TempDir() {
    std::filesystem::current_path(saved);
    std::filesystem::remove_all(root);
  }
  std::string root;
  std::filesystem::path saved;
};

}  // namespace soundtest
