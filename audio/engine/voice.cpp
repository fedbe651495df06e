// Mixing one voice: interpolated reads from a sample or a fed ring, linear gain ramps,
// the end of one-shot sounds, loops, and the hold of a paused voice.
#include "audio/engine/voice.h"

#include <algorithm>

#include "audio/engine/feed_source.h"

namespace {

constexpr float kFraction = 1.0f / 4294967296.0f;
// Frequencies beyond this many times the mixing rate read as this (the step must stay
// inside 32.32 arithmetic).
constexpr int64_t kMaxStepRatio = 1024;

// Balance law: the centre (127 or 128) is full on both sides; towards one side the
// other side fades to nothing.
void panGains(int pan, float volume, float out[2]) {
  const int p = std::clamp(pan, 0, 255);
  out[0] = volume * std::min(1.0f, float(255 - p) / 127.0f);
  out[1] = volume * std::min(1.0f, float(p) / 127.0f);
}

// The next frame of a fed voice into window[1]; false on underrun or at the end (the
// voice is then idle).
bool nextFedFrame(Voice& voice) {
  PcmRing& ring = voice.source->ring();
  const int channels = voice.source->channels();
  for (;;) {
    const PcmBlock* block = ring.front();
    if (!block) {
      return false;
    }
    const int32_t age = int32_t(block->epoch - voice.epoch);
    if (age > 0) {  // the source was restarted for another voice: this one is stale
      voice.state = VoiceState::Idle;
      return false;
    }
    if (age == 0 && voice.blockIndex < block->count) {
      const int16_t* frame = block->frames + voice.blockIndex * channels;
      voice.window[1][0] = frame[0];
      voice.window[1][1] = frame[channels - 1];
      ++voice.blockIndex;
      return true;
    }
    const bool last = age == 0 && block->last;
    ring.pop();
    voice.blockIndex = 0;
    if (last) {
      voice.state = VoiceState::Idle;
      return false;
    }
  }
}

// Mixes up to `frames` frames of a fed voice; the number mixed (fewer on underrun or
// at the end).
int mixFed(Voice& voice, float* mix, int frames) {
  // windowFilled: 0 at the start, 1 when window[0] holds the current frame but the
  // next one has not arrived yet.
  if (voice.windowFilled == 0) {
    if (!nextFedFrame(voice)) {
      return 0;
    }
    voice.window[0][0] = voice.window[1][0];
    voice.window[0][1] = voice.window[1][1];
    voice.windowFilled = 1;
  }
  if (voice.windowFilled == 1) {
    if (!nextFedFrame(voice)) {
      return 0;
    }
    voice.windowFilled = 2;
  }
  float g0 = voice.gain[0], g1 = voice.gain[1];
  const float d0 = voice.delta[0], d1 = voice.delta[1];
  const uint64_t step = voice.step;
  uint64_t fraction = voice.fraction;
  int i = 0;
  for (; i < frames; ++i) {
    const float f = float(fraction) * kFraction;
    const float l = voice.window[0][0] + (voice.window[1][0] - voice.window[0][0]) * f;
    const float r = voice.window[0][1] + (voice.window[1][1] - voice.window[0][1]) * f;
    mix[2 * i] += l * g0;
    mix[2 * i + 1] += r * g1;
    g0 += d0;
    g1 += d1;
    fraction += step;
    bool more = true;
    while (fraction >= (uint64_t(1) << 32)) {
      fraction -= uint64_t(1) << 32;
      voice.window[0][0] = voice.window[1][0];
      voice.window[0][1] = voice.window[1][1];
      if (!nextFedFrame(voice)) {
        voice.windowFilled = 1;
        more = false;
        break;
      }
    }
    if (!more) {
      ++i;
      break;
    }
  }
  voice.fraction = uint32_t(fraction);
  voice.gain[0] = g0;
  voice.gain[1] = g1;
  return i;
}

// Mixes up to `frames` frames of a sample voice; fewer when a one-shot sound ends.
template <int Channels>
int mixSample(Voice& voice, float* mix, int frames) {
  const Sample& sample = *voice.sample;
  const int16_t* data = sample.data.data();
  const uint64_t length = uint64_t(sample.frames);
  const uint64_t end = length << 32;
  float g0 = voice.gain[0], g1 = voice.gain[1];
  const float d0 = voice.delta[0], d1 = voice.delta[1];
  const uint64_t step = voice.step;
  uint64_t position = voice.position;
  int i = 0;
  for (; i < frames; ++i) {
    if (position >= end) {
      if (!voice.loop) {
        voice.state = VoiceState::Idle;
        break;
      }
      position %= end;
    }
    const uint32_t index = uint32_t(position >> 32);
    const uint32_t next = index + 1 < length ? index + 1 : (voice.loop ? 0 : index);
    const float f = float(uint32_t(position)) * kFraction;
    const int16_t* a = data + size_t(index) * Channels;
    const int16_t* b = data + size_t(next) * Channels;
    const float l = a[0] + (b[0] - a[0]) * f;
    const float r = Channels == 2 ? a[1] + (b[1] - a[1]) * f : l;
    mix[2 * i] += l * g0;
    mix[2 * i + 1] += r * g1;
    g0 += d0;
    g1 += d1;
    position += step;
  }
  voice.position = position;
  voice.gain[0] = g0;
  voice.gain[1] = g1;
  return i;
}

int mixSome(Voice& voice, float* mix, int frames) {
  if (voice.source) {
    return mixFed(voice, mix, frames);
  }
  return voice.sample->channels == 2 ? mixSample<2>(voice, mix, frames)
                                     : mixSample<1>(voice, mix, frames);
}

}  // namespace

void startVoice(Voice& voice) {
  voice.state = VoiceState::Playing;
  voice.stopping = false;
  voice.paused = false;
  voice.hasOutput = false;
  voice.position = 0;
  voice.blockIndex = 0;
  voice.windowFilled = 0;
  voice.fraction = 0;
  voice.window[1][0] = voice.window[1][1] = 0;
  voice.gain[0] = voice.gain[1] = 0;
  ++voice.generation;
  setFrequency(voice, voice.frequency);
  retarget(voice);
}

void retarget(Voice& voice) {
  if (voice.stopping || voice.paused) {
    voice.target[0] = voice.target[1] = 0;
  } else {
    panGains(voice.pan, float(std::clamp(voice.volume, 0, 255)) / 255.0f / 32768.0f, voice.target);
  }
  if (voice.state == VoiceState::Paused && !voice.paused) {
    voice.state = VoiceState::Playing;
  }
  voice.rampLeft = kRampFrames;
  voice.delta[0] = (voice.target[0] - voice.gain[0]) / kRampFrames;
  voice.delta[1] = (voice.target[1] - voice.gain[1]) / kRampFrames;
}

void setFrequency(Voice& voice, int hertz) {
  voice.frequency = hertz;
  const int64_t clamped = std::clamp<int64_t>(hertz, 0, kMaxStepRatio * kMixRate);
  voice.step = uint64_t((clamped << 32) / kMixRate);
}

void mixVoice(Voice& voice, float* mix, int frames) {
  while (frames > 0 && voice.state == VoiceState::Playing) {
    const bool ramping = voice.rampLeft > 0;
    const int want = ramping ? std::min(frames, voice.rampLeft) : frames;
    const int done = mixSome(voice, mix, want);
    if (done > 0) {
      voice.hasOutput = true;
    }
    if (ramping) {
      voice.rampLeft -= done;
      if (voice.rampLeft == 0) {
        voice.gain[0] = voice.target[0];
        voice.gain[1] = voice.target[1];
        voice.delta[0] = voice.delta[1] = 0;
        if (voice.stopping) {
          voice.state = VoiceState::Idle;
        } else if (voice.paused) {
          voice.state = VoiceState::Paused;
        }
      }
    }
    if (done < want) {
      break;  // the end, or a fed source that has nothing yet
    }
    mix += 2 * done;
    frames -= done;
  }
}
