// A sample decoded once into memory: signed 16-bit frames, mono or stereo, at the
// file's own rate, with the defaults the next play starts from.
#pragma once
#include <cstdint>
#include <vector>

struct SampleDefaults {
  int frequency;  // Hz
  int volume;     // 0..255
  int pan;        // 0 left .. 255 right
  int priority;   // 0..255: a play may take a channel from a lower priority
};

struct Sample {
  std::vector<int16_t> data;  // interleaved frames
  int channels = 1;
  int frames = 0;
  SampleDefaults defaults{44100, 255, 128, 128};
  bool loop = false;  // normal looping: from the end back to the start
};
