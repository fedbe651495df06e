// One playing voice of the mixer: a sample in memory or a fed source, read at its own
// frequency with linear interpolation, its gains ramped over a few milliseconds on
// start, stop, pause and every volume or pan change so nothing clicks. Owned by the
// engine and touched only under its mixing lock.
#pragma once
#include <cstdint>

#include "audio/engine/sample.h"

class FeedSource;

constexpr int kMixRate = 44100;
constexpr int kRampFrames = 128;  // about 3 ms

enum class VoiceState : uint8_t { Idle, Playing, Paused };

struct Voice {
  VoiceState state = VoiceState::Idle;
  bool stopping = false;  // fading out; idle once silent
  bool paused = false;    // asked to pause; the voice holds once faded out
  uint32_t generation = 0;
  int priority = 0;
  int frequency = kMixRate;
  int volume = 255;
  int pan = 128;
  bool hasOutput = false;  // mixed at least one frame since it started

  const Sample* sample = nullptr;
  FeedSource* source = nullptr;
  bool loop = false;
  uint64_t position = 0;  // 32.32 frames into the sample
  uint64_t step = 0;      // 32.32 frames per output frame

  // Fed sources: the two frames interpolated between and the fraction past the first.
  uint32_t epoch = 0;
  int blockIndex = 0;
  int windowFilled = 0;
  float window[2][2] = {};
  uint32_t fraction = 0;

  float gain[2] = {0, 0};
  float target[2] = {0, 0};
  float delta[2] = {0, 0};
  int rampLeft = 0;
};

// Sets up a voice to start from silence; the caller fills in the source first.
void startVoice(Voice& voice);

// Recomputes the target gains (volume, pan, paused, stopping) and ramps towards them.
void retarget(Voice& voice);

void setFrequency(Voice& voice, int hertz);

// Adds `frames` stereo frames of the voice to `mix`, advancing it.
void mixVoice(Voice& voice, float* mix, int frames);
