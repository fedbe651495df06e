// What the engine mixed, read back from SDL's disk audio driver: pitch, volume, pan,
// two sounds together, loops, pause and resume, stop, and music. Each test finds where
// its sound starts in the output and measures a window after the start ramp, so the
// results do not depend on how fast the machine runs.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <string>
#include <vector>

#include "audio/audio_commands.h"
#include "audio/engine/sound_engine.h"
#include "audio/sys_audio.h"
#include "basic/ks_error.h"
#include "basic/ks_str.h"
#include "runtime/modules.h"
#include "tests/audio/sound_fixture.h"

using namespace audiocmd;
using namespace soundtest;

namespace {

constexpr int kRate = 44100;
constexpr int kWindow = 4410;  // a tenth of a second
constexpr double kSineAmplitude = 0.25 * 32767;
// Loops hold a whole number of periods of the 441 Hz and 1,102.5 Hz sines (50 and 20
// frames at 22,050 Hz), so the looped signal is one unbroken sine.
constexpr double kWholePeriods = 2200.0 / 22050 + 1e-9;

ksStr* str(const std::string& text) { return ksStrNew(text); }

struct Stereo {
  std::vector<double> left, right;
  size_t size() const { return left.size(); }
};

// The amplitude of the component at `hertz` (Goertzel), over [from, from + count).
double amplitudeAt(const std::vector<double>& x, size_t from, size_t count, double hertz) {
  const double w = 2 * M_PI * hertz / kRate;
  double s1 = 0, s2 = 0;
  for (size_t i = from; i < from + count; ++i) {
    const double s0 = x[i] + 2 * std::cos(w) * s1 - s2;
    s2 = s1;
    s1 = s0;
  }
  const double power = s1 * s1 + s2 * s2 - 2 * std::cos(w) * s1 * s2;
  return 2 * std::sqrt(std::max(power, 0.0)) / double(count);
}

double peak(const std::vector<double>& x, size_t from, size_t count) {
  double most = 0;
  for (size_t i = from; i < from + count && i < x.size(); ++i) {
    most = std::max(most, std::fabs(x[i]));
  }
  return most;
}

class MixedOutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    output = dir.root + "/mixed.raw";
    // Before the audio subsystem starts: this process's output goes to the file.
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
    debugMode = false;
    ASSERT_TRUE(audio_create());
  }
  void TearDown() override { audio_destroy(); }

  int32_t sineSound(const std::string& name, double hertz, double seconds = 1.0) {
    writeWav(name, 22050, 1, 16, sine(hertz, 22050, seconds, 0.25));
    const int32_t sound = loadSound(str(name));
    EXPECT_NE(sound, 0);
    return sound;
  }

  Stereo read() const {
    const std::string bytes = contents(output);
    Stereo out;
    const size_t frames = bytes.size() / 4;
    const int16_t* samples = reinterpret_cast<const int16_t*>(bytes.data());
    for (size_t i = 0; i < frames; ++i) {
      out.left.push_back(samples[2 * i]);
      out.right.push_back(samples[2 * i + 1]);
    }
    return out;
  }

  size_t framesWritten() const { return std::filesystem::exists(output) ? std::filesystem::file_size(output) / 4 : 0; }

  // The first frame louder than a whisper on either side.
  static size_t onset(const Stereo& s, size_t from = 0) {
    for (size_t i = from; i < s.size(); ++i) {
      if (std::fabs(s.left[i]) > 300 || std::fabs(s.right[i]) > 300) {
        return i;
      }
    }
    return SIZE_MAX;
  }

  // Waits until the output holds `frames` frames after the sound's onset; returns the
  // output with `start` set to the onset.
  Stereo captureAfterOnset(size_t frames, size_t& start) {
    Stereo s;
    EXPECT_TRUE(waitFor([&] {
      s = read();
      start = onset(s);
      return start != SIZE_MAX && s.size() >= start + frames;
    })) << "no sound in the output";
    return s;
  }

  // Waits until `frames` more frames than now have been written.
  Stereo captureMore(size_t frames, size_t& mark) {
    mark = framesWritten();
    EXPECT_TRUE(waitFor([&] { return framesWritten() >= mark + frames; }));
    return read();
  }

  TempDir dir;
  std::string output;
};

TEST_F(MixedOutputTest, ASineSamplePlaysAtItsOwnRate) {
  playSound(sineSound("tone.wav", 441));
  size_t start;
  const Stereo s = captureAfterOnset(1024 + kWindow, start);
  const size_t from = start + 1024;
  EXPECT_NEAR(amplitudeAt(s.left, from, kWindow, 441), kSineAmplitude, 0.05 * kSineAmplitude);
  EXPECT_NEAR(amplitudeAt(s.right, from, kWindow, 441), kSineAmplitude, 0.05 * kSineAmplitude);
  EXPECT_LT(amplitudeAt(s.left, from, kWindow, 882), 0.02 * kSineAmplitude);
}

TEST_F(MixedOutputTest, TwiceTheRateDoublesTheFrequency) {
  const int32_t sound = sineSound("tone.wav", 441);
  soundPitch(sound, 44100);
  playSound(sound);
  size_t start;
  const Stereo s = captureAfterOnset(1024 + kWindow, start);
  EXPECT_NEAR(amplitudeAt(s.left, start + 1024, kWindow, 882), kSineAmplitude, 0.05 * kSineAmplitude);
  EXPECT_LT(amplitudeAt(s.left, start + 1024, kWindow, 441), 0.02 * kSineAmplitude);
}

TEST_F(MixedOutputTest, ChannelPitchChangesAPlayingSound) {
  const int32_t sound = sineSound("tone.wav", 441, kWholePeriods);
  loopSound(sound);
  const int32_t channel = playSound(sound);
  size_t start;
  captureAfterOnset(1024, start);
  channelPitch(channel, 44100);
  size_t mark;
  const Stereo s = captureMore(4096 + kWindow, mark);
  EXPECT_NEAR(amplitudeAt(s.left, mark + 4096, kWindow, 882), kSineAmplitude, 0.05 * kSineAmplitude);
}

TEST_F(MixedOutputTest, HalfVolumeHalvesTheAmplitude) {
  const int32_t sound = sineSound("tone.wav", 441);
  soundVolume(sound, 0.5f);
  playSound(sound);
  size_t start;
  const Stereo s = captureAfterOnset(1024 + kWindow, start);
  const double expected = kSineAmplitude * 127 / 255;
  EXPECT_NEAR(amplitudeAt(s.left, start + 1024, kWindow, 441), expected, 0.05 * expected);
  EXPECT_NEAR(peak(s.right, start + 1024, kWindow), expected, 0.05 * expected);
}

TEST_F(MixedOutputTest, HardLeftAndHardRightSilenceTheOtherSide) {
  const int32_t sound = sineSound("tone.wav", 441);
  soundPan(sound, -1.0f);
  const int32_t left = playSound(sound);
  size_t start;
  Stereo s = captureAfterOnset(1024 + kWindow, start);
  EXPECT_NEAR(peak(s.left, start + 1024, kWindow), kSineAmplitude, 0.05 * kSineAmplitude);
  EXPECT_EQ(peak(s.right, start, kWindow), 0);
  stopChannel(left);

  soundPan(sound, 1.0f);
  size_t mark;
  captureMore(2048, mark);  // the left one has faded out
  playSound(sound);
  s = captureMore(4096 + kWindow, mark);
  const size_t from = onset(s, mark);
  ASSERT_NE(from, SIZE_MAX);
  EXPECT_NEAR(peak(s.right, from + 1024, kWindow), kSineAmplitude, 0.05 * kSineAmplitude);
  EXPECT_EQ(peak(s.left, from, kWindow), 0);
}

TEST_F(MixedOutputTest, TwoSoundsMixTogether) {
  const int32_t low = sineSound("low.wav", 441, kWholePeriods);
  const int32_t high = sineSound("high.wav", 1102.5, kWholePeriods);
  loopSound(low);
  loopSound(high);
  playSound(low);
  playSound(high);
  size_t mark;
  const Stereo s = captureMore(4096 + kWindow, mark);
  const size_t from = mark + 4096;  // both started before the mark
  EXPECT_NEAR(amplitudeAt(s.left, from, kWindow, 441), kSineAmplitude, 0.05 * kSineAmplitude);
  EXPECT_NEAR(amplitudeAt(s.left, from, kWindow, 1102.5), kSineAmplitude, 0.05 * kSineAmplitude);
}

TEST_F(MixedOutputTest, ALoopedSoundPlaysOnPastItsLength) {
  const int32_t sound = sineSound("short.wav", 441, kWholePeriods);
  loopSound(sound);
  const int32_t channel = playSound(sound);
  size_t start;
  const Stereo s = captureAfterOnset(4 * kWindow, start);
  EXPECT_NEAR(amplitudeAt(s.left, start + 3 * kWindow - kWindow / 2, kWindow, 441), kSineAmplitude,
              0.05 * kSineAmplitude);
  EXPECT_EQ(channelPlaying(channel), 1);
}

TEST_F(MixedOutputTest, PauseSilencesAndResumeContinues) {
  const int32_t sound = sineSound("tone.wav", 441, kWholePeriods);
  loopSound(sound);
  const int32_t channel = playSound(sound);
  size_t start;
  captureAfterOnset(1024, start);
  pauseChannel(channel);
  size_t mark;
  Stereo s = captureMore(4096 + kWindow, mark);
  EXPECT_EQ(peak(s.left, mark + 4096, kWindow), 0);
  EXPECT_EQ(channelPlaying(channel), 1);
  resumeChannel(channel);
  s = captureMore(4096 + kWindow, mark);
  EXPECT_NEAR(amplitudeAt(s.left, mark + 4096, kWindow, 441), kSineAmplitude, 0.05 * kSineAmplitude);
}

TEST_F(MixedOutputTest, AStoppedChannelIsSilent) {
  const int32_t sound = sineSound("tone.wav", 441, 0.2);
  loopSound(sound);
  const int32_t channel = playSound(sound);
  size_t start;
  captureAfterOnset(1024, start);
  stopChannel(channel);
  EXPECT_EQ(channelPlaying(channel), 0);
  size_t mark;
  const Stereo s = captureMore(4096 + kWindow, mark);
  EXPECT_EQ(peak(s.left, mark + 4096, kWindow), 0);
  EXPECT_EQ(peak(s.right, mark + 4096, kWindow), 0);
}

TEST_F(MixedOutputTest, ModuleAndMidiMusicAreNotSilent) {
  for (const char* name : {"tune.mod", "tune.mid"}) {
    const int32_t song = playMusic(str(exampleAsset(name)));
    ASSERT_NE(song, 0) << name;
    size_t mark;
    const Stereo s = captureMore(2 * kRate, mark);
    EXPECT_GT(peak(s.left, mark, 2 * kRate), 1000) << name;
    EXPECT_GT(peak(s.right, mark, 2 * kRate), 1000) << name;
    stopChannel(song);
  }
}

TEST(NoAudioDevice, CommandsStillWorkAndSoundsEndOnTime) {
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  ASSERT_TRUE(audio_create());
  {
    TempDir dir;
    EXPECT_FALSE(manager()->engine().hasDevice());
    writeWav("short.wav", 22050, 1, 16, sine(441, 22050, 1.0, 0.25));
    const int32_t sound = loadSound(str("short.wav"));
    ASSERT_NE(sound, 0);
    const int32_t channel = playSound(sound);
    ASSERT_NE(channel, 0);
    EXPECT_EQ(channelPlaying(channel), 1);
    EXPECT_TRUE(waitFor([&] { return channelPlaying(channel) == 0; }));  // mixed silently
    const int32_t song = playMusic(str(exampleAsset("tune.mod")));
    EXPECT_EQ(channelPlaying(song), 1);
  }
  audio_destroy();
}

}  // namespace
