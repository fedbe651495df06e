// The mixer's voices on their own: interpolation, gain ramps that keep starts, stops,
// pauses and changes free of clicks, the pan law, one-shot ends and loops, and voices
// fed through a ring (stale blocks dropped, the end found, underruns waited out).
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "audio/engine/feed_source.h"
#include "audio/engine/voice.h"

namespace {

constexpr float kFull = 1.0f;  // a full-scale sample mixes to this

Sample constantSample(int16_t value, int frames, int channels = 1) {
  Sample sample;
  sample.channels = channels;
  sample.frames = frames;
  sample.data.assign(size_t(frames) * channels, value);
  sample.defaults.frequency = kMixRate;
  return sample;
}

Voice voiceFor(const Sample& sample, int volume = 255, int pan = 128) {
  Voice voice;
  voice.sample = &sample;
  voice.loop = sample.loop;
  voice.frequency = sample.defaults.frequency;
  voice.volume = volume;
  voice.pan = pan;
  startVoice(voice);
  return voice;
}

std::vector<float> mixed(Voice& voice, int frames) {
  std::vector<float> out(size_t(frames) * 2, 0.0f);
  mixVoice(voice, out.data(), frames);
  return out;
}

TEST(VoiceMixing, StartRampsUpFromSilenceThenHoldsFullGain) {
  const Sample sample = constantSample(32767, 4000);
  Voice voice = voiceFor(sample);
  const std::vector<float> out = mixed(voice, 1000);
  EXPECT_LT(out[0], kFull / 64);                        // no step at the start
  for (int i = 1; i < kRampFrames; ++i) {
    EXPECT_GE(out[2 * i], out[2 * (i - 1)]);            // rises steadily
    EXPECT_LT(out[2 * i] - out[2 * (i - 1)], kFull / 64);
  }
  EXPECT_NEAR(out[2 * kRampFrames], kFull, 1e-3);
  EXPECT_NEAR(out[2 * 999 + 1], kFull, 1e-3);
}

TEST(VoiceMixing, StopAndPauseFadeOutWithinTheRampAndPauseHoldsThePosition) {
  Sample sample = constantSample(32767, 1000);
  sample.loop = true;
  Voice voice = voiceFor(sample);
  mixed(voice, 500);
  voice.paused = true;
  retarget(voice);
  std::vector<float> out = mixed(voice, 500);
  EXPECT_GT(out[0], 0.9f * kFull);
  EXPECT_LT(out[2 * (kRampFrames - 8)], 0.1f * kFull);
  EXPECT_EQ(out[2 * kRampFrames], 0.0f);
  EXPECT_EQ(voice.state, VoiceState::Paused);
  const uint64_t held = voice.position;
  mixed(voice, 500);
  EXPECT_EQ(voice.position, held);

  voice.paused = false;
  retarget(voice);
  out = mixed(voice, 500);
  EXPECT_LT(out[0], kFull / 64);
  EXPECT_NEAR(out[2 * 300], kFull, 1e-3);

  voice.stopping = true;
  retarget(voice);
  out = mixed(voice, 500);
  EXPECT_LT(out[2 * (kRampFrames - 8)], 0.1f * kFull);
  EXPECT_EQ(voice.state, VoiceState::Idle);
}

TEST(VoiceMixing, VolumeChangesRampAndVolumeAbove255IsFull) {
  const Sample sample = constantSample(32767, 10000);
  Voice voice = voiceFor(sample, 510);
  std::vector<float> out = mixed(voice, 400);
  EXPECT_NEAR(out[2 * 300], kFull, 1e-3);
  voice.volume = 127;
  retarget(voice);
  out = mixed(voice, 400);
  EXPECT_GT(out[0], 0.95f * kFull);  // no jump down
  EXPECT_NEAR(out[2 * 300], 127.0f / 255, 1e-3);
  voice.volume = -40;
  retarget(voice);
  out = mixed(voice, 400);
  EXPECT_EQ(out[2 * 300], 0.0f);
}

TEST(VoiceMixing, PanLawKeepsTheCentreFullOnBothSides) {
  const Sample sample = constantSample(32767, 10000);
  const struct {
    int pan;
    float left, right;
  } cases[] = {{0, 1, 0}, {127, 1, 1}, {128, 1, 1}, {255, 0, 1}, {-9, 1, 0}, {300, 0, 1}, {191, 64.0f / 127, 1}};
  for (const auto& c : cases) {
    Voice voice = voiceFor(sample, 255, c.pan);
    const std::vector<float> out = mixed(voice, 300);
    EXPECT_NEAR(out[2 * 299], c.left, 1e-3) << "pan " << c.pan;
    EXPECT_NEAR(out[2 * 299 + 1], c.right, 1e-3) << "pan " << c.pan;
  }
}

TEST(VoiceMixing, HalfFrequencyInterpolatesBetweenFrames) {
  Sample sample = constantSample(0, 400);
  for (int i = 0; i < 400; ++i) {
    sample.data[size_t(i)] = int16_t(i * 64);
  }
  Voice voice = voiceFor(sample);
  setFrequency(voice, kMixRate / 2);
  const std::vector<float> out = mixed(voice, 600);
  // Past the ramp, output frame n reads the sample at n / 2.
  for (int n = 200; n < 600; n += 37) {
    EXPECT_NEAR(out[2 * n] * 32768, n / 2.0f * 64, 0.5f) << n;
  }
  EXPECT_EQ(voice.state, VoiceState::Playing);
}

TEST(VoiceMixing, OneShotEndsWhereItsFramesEndAndALoopWraps) {
  const Sample once = constantSample(16384, 300);
  Voice voice = voiceFor(once);
  std::vector<float> out = mixed(voice, 600);
  EXPECT_EQ(voice.state, VoiceState::Idle);
  EXPECT_GT(out[2 * 299], 0.4f);
  EXPECT_EQ(out[2 * 300], 0.0f);

  Sample looped = constantSample(16384, 300);
  looped.loop = true;
  voice = voiceFor(looped);
  setFrequency(voice, kMixRate * 3);  // wraps more than once per call
  out = mixed(voice, 2000);
  EXPECT_EQ(voice.state, VoiceState::Playing);
  EXPECT_NEAR(out[2 * 1999], 0.5f, 1e-3);
  EXPECT_LT(voice.position >> 32, 2 * 300u);  // kept within the sample, not growing
}

// A source counting frames up from 1, `total` frames long.
class CountingSource final : public FeedSource {
 public:
  explicit CountingSource(int total) : FeedSource(kMixRate, 1), total_(total) {}

 protected:
  void rewind() override { next_ = 0; }
  int produce(int16_t* out, int frames) override {
    int n = 0;
    for (; n < frames && next_ < total_; ++n) {
      out[n] = int16_t(++next_);
    }
    return n;
  }

 private:
  int total_;
  int next_ = 0;
};

Voice fedVoice(FeedSource& source) {
  Voice voice;
  voice.source = &source;
  voice.frequency = source.rate();
  voice.epoch = source.start();
  startVoice(voice);
  return voice;
}

TEST(FedVoice, PlaysItsEpochInOrderAndEndsAfterTheLastBlock) {
  CountingSource source(3000);
  source.start();
  ASSERT_TRUE(source.feed());  // blocks of an epoch nobody plays any more
  Voice voice = fedVoice(source);
  while (source.feed()) {
  }
  std::vector<float> out = mixed(voice, 3200);
  for (int n = 200; n < 3000; n += 211) {
    EXPECT_NEAR(out[2 * n] * 32768, float(n + 1), 0.01f) << n;
  }
  EXPECT_EQ(voice.state, VoiceState::Idle);
  EXPECT_EQ(source.ring().front(), nullptr);
}

TEST(FedVoice, WaitsOutAnUnderrunAndAStaleVoiceStops) {
  CountingSource source(100000);
  Voice voice = fedVoice(source);
  std::vector<float> out = mixed(voice, 256);  // nothing decoded yet
  EXPECT_EQ(out[2 * 255], 0.0f);
  EXPECT_EQ(voice.state, VoiceState::Playing);
  source.feed();
  out = mixed(voice, 512);
  EXPECT_NEAR(out[2 * 511] * 32768, 512.0f, 0.01f);  // from the first frame, ramp done
  Voice newer = fedVoice(source);                     // the source restarted elsewhere
  source.feed();
  mixed(voice, 4 * PcmBlock::kFrames);
  EXPECT_EQ(voice.state, VoiceState::Idle);
  out = mixed(newer, 300);
  EXPECT_NEAR(out[2 * 299] * 32768, 300.0f, 0.01f);
}

}  // namespace
