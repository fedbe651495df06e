// The sound device: 44,100 Hz, stereo, signed 16-bit frames pulled from a mixing
// routine on the device's own thread. When no device opens, a thread of our own pulls
// the same buffers at the same pace and drops them, so playback runs (silently) anyway.
#pragma once
#include <cstdint>
#include <memory>

// Fills `frames` interleaved stereo frames. Called on the output thread only.
using AudioMixFunction = void (*)(void* context, int16_t* out, int frames);

class AudioOutput {
 public:
  virtual ~AudioOutput() = default;
  virtual bool hasDevice() const = 0;   // false: the silent stand-in runs
  virtual int bufferFrames() const = 0;  // frames per pull
};

// Starts pulling at once; the mixing routine runs until the output is destroyed.
std::unique_ptr<AudioOutput> openAudioOutput(int rate, int bufferFrames, AudioMixFunction mix,
                                             void* context);
