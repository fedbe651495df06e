// Raw 8-bit files and whole-file decoding into samples.
#include "audio/engine/sound_files.h"

#include <strings.h>

#include <cstdio>
#include <vector>

namespace {

// Samples larger than this (about six minutes of stereo) are refused rather than
// exhausting the address space of a 32-bit process.
constexpr size_t kMaxSampleFrames = size_t(16) << 20;

bool hasRawExtension(const std::string& path) {
  return path.size() >= 4 && strcasecmp(path.c_str() + path.size() - 4, ".raw") == 0;
}

class RawDecoder final : public PcmDecoder {
 public:
  explicit RawDecoder(std::FILE* file) : file_(file) {}
  ~RawDecoder() override { std::fclose(file_); }
  int rate() const override { return kRawRate; }
  int channels() const override { return 1; }
  int read(int16_t* out, int maxFrames) override {
    int8_t bytes[4096];
    int done = 0;
    while (done < maxFrames) {
      const size_t want = std::min<size_t>(sizeof bytes, size_t(maxFrames - done));
      const size_t got = std::fread(bytes, 1, want, file_);
      for (size_t i = 0; i < got; ++i) {
        out[done + int(i)] = int16_t(bytes[i] * 256);
      }
      done += int(got);
      if (got < want) {
        break;
      }
    }
    return done;
  }
  bool rewind() override { return std::fseek(file_, 0, SEEK_SET) == 0; }

 private:
  std::FILE* file_;
};

}  // namespace

std::unique_ptr<PcmDecoder> openSoundDecoder(const std::string& path) {
  if (!hasRawExtension(path)) {
    return openSoundFile(path);
  }
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    return nullptr;
  }
  // An empty raw file is no sound, streamed or loaded.
  if (std::fgetc(file) == EOF) {
    std::fclose(file);
    return nullptr;
  }
  std::rewind(file);
  return std::make_unique<RawDecoder>(file);
}

std::unique_ptr<Sample> decodeSample(const std::string& path) {
  std::unique_ptr<PcmDecoder> decoder = openSoundDecoder(path);
  if (!decoder) {
    return nullptr;
  }
  auto sample = std::make_unique<Sample>();
  sample->channels = decoder->channels();
  constexpr int kChunk = 16384;
  const int64_t hint = decoder->framesHint();
  if (hint > 0 && size_t(hint) <= kMaxSampleFrames) {
    sample->data.reserve((size_t(hint) + kChunk) * size_t(sample->channels));
  }
  size_t frames = 0;
  for (;;) {
    sample->data.resize((frames + kChunk) * size_t(sample->channels));
    const int got = decoder->read(sample->data.data() + frames * sample->channels, kChunk);
    frames += size_t(got);
    if (got < kChunk || frames > kMaxSampleFrames) {
      break;
    }
  }
  if (frames == 0 || frames > kMaxSampleFrames) {
    return nullptr;
  }
  sample->data.resize(frames * size_t(sample->channels));
  if (sample->data.capacity() > sample->data.size() + sample->data.size() / 8) {
    sample->data.shrink_to_fit();  // grown without a size hint
  }
  sample->frames = int(frames);
  sample->defaults.frequency = decoder->rate();
  return sample;
}
