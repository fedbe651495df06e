// The sound device on SDL's audio output (AUDIO_S16SYS asked for exactly, SDL
// converting for the device), or a silent stand-in thread when none opens.
#include "platform/audio_output.h"

#include <SDL.h>
#include <dlfcn.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

extern "C" {
static void ignoreAlsaError(const char*, int, const char*, int, const char*, ...) {}
}

namespace {

// On a machine without a sound card libasound prints its configuration errors straight
// to standard error while SDL probes it. Loading it first (SDL's own dlopen then shares
// this copy) lets a silent handler be set, so a game's output stays clean. It stays
// loaded for the life of the process.
void silenceAlsa() {
  static const bool done = [] {
    void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
    if (alsa) {
      using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
      using SetHandler = int (*)(Handler);
      if (auto set = reinterpret_cast<SetHandler>(dlsym(alsa, "snd_lib_error_set_handler"))) {
        set(ignoreAlsaError);
      }
    }
    return true;
  }();
  (void)done;
}

void sdlCallback(void* userdata, Uint8* stream, int length);

class SdlAudioOutput final : public AudioOutput {
 public:
  SdlAudioOutput(AudioMixFunction mix, void* context) : mix_(mix), context_(context) {}
  ~SdlAudioOutput() override {
    if (device_ != 0) {
      SDL_CloseAudioDevice(device_);  // waits for a running callback to return
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
  }
  bool open(int rate, int frames) {
    silenceAlsa();
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
      return false;
    }
    SDL_AudioSpec want{};
    want.freq = rate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = Uint16(frames);
    want.callback = sdlCallback;
    want.userdata = this;
    SDL_AudioSpec have{};
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device_ == 0) {
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      return false;
    }
    frames_ = have.samples;
    SDL_PauseAudioDevice(device_, 0);
    return true;
  }
  bool hasDevice() const override { return true; }
  int bufferFrames() const override { return frames_; }
  void pull(int16_t* out, int frames) { mix_(context_, out, frames); }

 private:
  AudioMixFunction mix_;
  void* context_;
  SDL_AudioDeviceID device_ = 0;
  int frames_ = 0;
};

void sdlCallback(void* userdata, Uint8* stream, int length) {
  static_cast<SdlAudioOutput*>(userdata)->pull(reinterpret_cast<int16_t*>(stream), length / 4);
}

// Pulls and drops a buffer every buffer period, measured against a steady clock so the
// pace holds however long each mix takes.
class SilentAudioOutput final : public AudioOutput {
 public:
  SilentAudioOutput(int rate, int frames, AudioMixFunction mix, void* context)
      : frames_(frames), buffer_(size_t(frames) * 2) {
    thread_ = std::thread([this, rate, mix, context] {
      using Clock = std::chrono::steady_clock;
      const auto period = std::chrono::microseconds(int64_t(frames_) * 1000000 / rate);
      auto next = Clock::now();
      while (!quit_.load()) {
        mix(context, buffer_.data(), frames_);
        next += period;
        std::this_thread::sleep_until(next);
      }
    });
  }
  ~SilentAudioOutput() override {
    quit_.store(true);
    thread_.join();
  }
  bool hasDevice() const override { return false; }
  int bufferFrames() const override { return frames_; }

 private:
  int frames_;
  std::vector<int16_t> buffer_;
  std::atomic<bool> quit_{false};
  std::thread thread_;
};

}  // namespace

std::unique_ptr<AudioOutput> openAudioOutput(int rate, int bufferFrames, AudioMixFunction mix,
                                             void* context) {
  auto device = std::make_unique<SdlAudioOutput>(mix, context);
  if (device->open(rate, bufferFrames)) {
    return device;
  }
  return std::make_unique<SilentAudioOutput>(rate, bufferFrames, mix, context);
}
