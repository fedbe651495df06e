// The audio commands on a live engine (SDL's dummy output): the sound defaults and
// their conversions, the channel pool and its reuse, music by name, the CD channel,
// the answers without a manager, handles the manager never issued, and real files in
// every format, corrupt and truncated ones included.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "audio/audio_commands.h"
#include "audio/engine/sound_engine.h"
#include "audio/sys_audio.h"
#include "basic/ks_error.h"
#include "basic/ks_str.h"
#include "runtime/modules.h"
#include "tests/audio/sound_fixture.h"
#include "tests/host/recording_debugger.h"

using namespace audiocmd;
using namespace soundtest;

namespace {

ksStr* str(const std::string& text) { return ksStrNew(text); }

sysSound* soundOf(int32_t handle) { return reinterpret_cast<sysSound*>(static_cast<intptr_t>(handle)); }

class AudioCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    debugMode = false;
    ASSERT_TRUE(audio_create());
    ASSERT_NE(manager(), nullptr);
  }
  void TearDown() override {
    audio_destroy();
    debugMode = false;
  }
  // A mono 16-bit sine file at 22,050 Hz.
  std::string sineFile(const std::string& name, double seconds) {
    writeWav(name, 22050, 1, 16, sine(441, 22050, seconds, 0.25));
    return name;
  }
  SoundEngine& engine() { return manager()->engine(); }
  TempDir dir;
};

TEST(AudioRegistration, SixteenCommandsUnderTheirExactSignatures) {
  static std::vector<std::string> names;
  names.clear();
  audio_link([](CommandSignature signature, void* entry) {
    EXPECT_NE(entry, nullptr) << signature;
    names.emplace_back(signature);
  });
  EXPECT_EQ(names, (std::vector<std::string>{
                       "%LoadSound$filename", "FreeSound%sound", "LoopSound%sound", "SoundPitch%sound%pitch",
                       "SoundVolume%sound#volume", "SoundPan%sound#pan", "%PlaySound%sound",
                       "%PlayMusic$midifile", "%PlayCDTrack%track%mode=1", "StopChannel%channel",
                       "PauseChannel%channel", "ResumeChannel%channel", "ChannelPitch%channel%pitch",
                       "ChannelVolume%channel#volume", "ChannelPan%channel#pan", "%ChannelPlaying%channel"}));
}

TEST_F(AudioCommandsTest, SoundDefaultsConvertAndReachTheEngineOnTheNextPlay) {
  const int32_t sound = loadSound(str(sineFile("tone.wav", 0.2)));
  ASSERT_NE(sound, 0);
  sysSound* const s = soundOf(sound);
  EXPECT_TRUE(s->defaultsCurrent);
  EXPECT_EQ(s->pitch, 22050);
  EXPECT_EQ(s->volume, 255);
  soundVolume(sound, 0.5f);
  EXPECT_EQ(s->volume, 127);
  EXPECT_FALSE(s->defaultsCurrent);
  const std::pair<float, int32_t> pans[] = {{-1.0f, 0}, {0.0f, 127}, {1.0f, 255}, {-0.5f, 63}};
  for (const auto& [pan, stored] : pans) {
    soundPan(sound, pan);
    EXPECT_EQ(s->pan, stored) << pan;
  }
  soundPitch(sound, 11025);
  soundVolume(sound, 3.0f);  // passed on unclamped
  EXPECT_EQ(s->volume, 765);
  EXPECT_NE(playSound(sound), 0);
  EXPECT_TRUE(s->defaultsCurrent);
  const SampleDefaults defaults = engine().sampleDefaults(s->sample);
  EXPECT_EQ(defaults.frequency, 11025);
  EXPECT_EQ(defaults.volume, 765);
  EXPECT_EQ(defaults.pan, 63);
}

TEST_F(AudioCommandsTest, FinishedChannelsAreHandedOutAgainInPoolOrder) {
  // Long enough that both are surely still playing when checked, on a busy machine too.
  const int32_t sound = loadSound(str(sineFile("short.wav", 1.0)));
  const int32_t first = playSound(sound);
  const int32_t second = playSound(sound);
  ASSERT_NE(first, 0);
  ASSERT_NE(second, 0);
  EXPECT_NE(first, second);
  EXPECT_EQ(channelPlaying(first), 1);
  EXPECT_EQ(channelPlaying(second), 1);
  ASSERT_TRUE(waitFor([&] { return channelPlaying(first) == 0 && channelPlaying(second) == 0; }));
  EXPECT_EQ(playSound(sound), first);
  EXPECT_EQ(channelPlaying(first), 1);
  EXPECT_EQ(channelPlaying(second), 0);
}

TEST_F(AudioCommandsTest, ThirtyTwoChannelsThenNoneUntilOneStops) {
  const int32_t sound = loadSound(str(sineFile("loop.wav", 0.1)));
  loopSound(sound);
  std::set<int32_t> channels;
  for (int i = 0; i < SoundEngine::kChannels; ++i) {
    channels.insert(playSound(sound));
  }
  EXPECT_EQ(channels.size(), size_t(SoundEngine::kChannels));
  EXPECT_EQ(channels.count(0), 0u);
  EXPECT_EQ(playSound(sound), 0);
  const int32_t stopped = *channels.begin();
  stopChannel(stopped);
  EXPECT_EQ(channelPlaying(stopped), 0);
  EXPECT_EQ(playSound(sound), stopped);
  for (const int32_t channel : channels) {
    EXPECT_EQ(channelPlaying(channel), 1);  // looping: still playing after its length
  }
}

TEST_F(AudioCommandsTest, PausedChannelsStillPlayAndStoppedOnesDoNotResume) {
  const int32_t sound = loadSound(str(sineFile("tone.wav", 0.5)));
  loopSound(sound);
  const int32_t channel = playSound(sound);
  pauseChannel(channel);
  EXPECT_EQ(channelPlaying(channel), 1);
  resumeChannel(channel);
  EXPECT_EQ(channelPlaying(channel), 1);
  stopChannel(channel);
  resumeChannel(channel);
  EXPECT_EQ(channelPlaying(channel), 0);
}

TEST_F(AudioCommandsTest, AnEngineHandleFromAnEarlierPlayNamesNothingOnceTheChannelIsReused) {
  const int32_t sound = loadSound(str(sineFile("short.wav", 0.05)));
  Sample* const sample = soundOf(sound)->sample;
  const int old = engine().playSample(SoundEngine::kAnyFree, sample);
  ASSERT_TRUE(waitFor([&] { return !engine().isPlaying(old); }));
  engine().setSampleLoop(sample, true);
  const int current = engine().playSample(SoundEngine::kAnyFree, sample);
  EXPECT_EQ(current & 0xFF, old & 0xFF);  // the same engine channel
  EXPECT_NE(current, old);
  engine().stop(old);
  engine().setPaused(old, true);
  EXPECT_FALSE(engine().isPlaying(old));
  EXPECT_TRUE(engine().isPlaying(current));
}

TEST_F(AudioCommandsTest, FreeSoundStopsItsChannelsAndIgnoresUnknownHandles) {
  const int32_t sound = loadSound(str(sineFile("tone.wav", 0.2)));
  loopSound(sound);
  const int32_t channel = playSound(sound);
  freeSound(12345);
  freeSound(0);
  EXPECT_EQ(channelPlaying(channel), 1);
  freeSound(sound);
  EXPECT_EQ(channelPlaying(channel), 0);
  freeSound(sound);  // twice: already gone
  EXPECT_EQ(playSound(sound), 0);
}

TEST_F(AudioCommandsTest, HandlesTheManagerNeverIssuedAreIgnoredInEveryMode) {
  const int32_t sound = loadSound(str(sineFile("tone.wav", 0.2)));
  int32_t local = 0;
  const int32_t invented[] = {0, 1, 12345, sound, int32_t(reinterpret_cast<intptr_t>(&local))};
  for (const bool debug : {false, true}) {
    debugMode = debug;
    for (const int32_t handle : invented) {
      stopChannel(handle);
      pauseChannel(handle);
      resumeChannel(handle);
      channelPitch(handle, 1000);
      channelVolume(handle, 0.5f);
      channelPan(handle, 1.0f);
      EXPECT_EQ(channelPlaying(handle), 0) << handle;
    }
  }
  debugMode = false;
  loopSound(777);  // outside debug mode an unknown sound is ignored
  soundPitch(777, 1);
  EXPECT_EQ(playSound(777), 0);
}

TEST_F(AudioCommandsTest, DebugModeReportsSoundsThatDoNotExist) {
  debugMode = true;
  using Command = void (*)();
  const Command commands[] = {[] { loopSound(777); }, [] { soundPitch(777, 1); },
                              [] { soundVolume(777, 1.0f); }, [] { soundPan(777, 0.0f); },
                              [] { playSound(777); }};
  for (const Command command : commands) {
    try {
      command();
      ADD_FAILURE() << "no error";
    } catch (const ksEx& e) {
      EXPECT_STREQ(e.message, "Sound does not exist");
    }
  }
}

TEST_F(AudioCommandsTest, MusicByTheSameNameRestartsTheSameChannel) {
  writeWav("tune.wav", 22050, 1, 16, sine(441, 22050, 1.5, 0.25));
  convert("tune.wav", "tune.mp3");
  const int32_t first = playMusic(str("tune.mp3"));
  ASSERT_NE(first, 0);
  ASSERT_TRUE(waitFor([&] { return channelPlaying(first) == 0; }));  // it ends on its own
  EXPECT_EQ(playMusic(str("tune.mp3")), first);
  EXPECT_EQ(channelPlaying(first), 1);
  stopChannel(first);
  EXPECT_EQ(channelPlaying(first), 0);
  EXPECT_EQ(playMusic(str("tune.mp3")), first);
  EXPECT_EQ(channelPlaying(first), 1);
  channelPitch(first, 11025);
  channelVolume(first, 0.5f);
  channelPan(first, -1.0f);
  EXPECT_EQ(channelPlaying(first), 1);
}

TEST_F(AudioCommandsTest, ExtensionsDecideStreamOrSongExactlyAsWritten) {
  writeWav("tune.wav", 22050, 1, 16, sine(441, 22050, 0.1, 0.25));
  convert("tune.wav", "tune.mp3");
  std::filesystem::copy_file("tune.mp3", "TUNE.MP3");
  std::filesystem::copy_file(exampleAsset("tune.mod"), "SONG.MOD");
  std::filesystem::copy_file(exampleAsset("tune.mod"), "song.ogg.mod");
  auto kind = [](int32_t handle) -> std::string {
    sysChannel* const channel = reinterpret_cast<sysChannel*>(static_cast<intptr_t>(handle));
    if (!channel) {
      return "none";
    }
    return dynamic_cast<sysStreamChannel*>(channel) ? "stream" : dynamic_cast<sysSongChannel*>(channel) ? "song" : "?";
  };
  EXPECT_EQ(kind(playMusic(str("tune.mp3"))), "stream");
  EXPECT_EQ(kind(playMusic(str("TUNE.MP3"))), "none");  // a song file, but not a song
  EXPECT_EQ(kind(playMusic(str("SONG.MOD"))), "song");
  EXPECT_EQ(kind(playMusic(str("song.ogg.mod"))), "stream");  // ".ogg" anywhere in the name
  EXPECT_EQ(kind(playMusic(str("TUNE.wav"))), "stream");  // the file system's case does not matter
}

TEST_F(AudioCommandsTest, SongsPlayUntilStoppedAndIgnorePitchAndPan) {
  std::filesystem::copy_file(exampleAsset("tune.mod"), "tune.mod");
  std::filesystem::copy_file(exampleAsset("tune.mid"), "tune.mid");
  for (const char* name : {"tune.mod", "tune.mid"}) {
    const int32_t song = playMusic(str(name));
    ASSERT_NE(song, 0) << name;
    EXPECT_EQ(channelPlaying(song), 1);
    channelPitch(song, 1);
    channelPan(song, -1.0f);
    channelVolume(song, 0.25f);
    pauseChannel(song);
    EXPECT_EQ(channelPlaying(song), 1);
    resumeChannel(song);
    stopChannel(song);
    EXPECT_EQ(channelPlaying(song), 0);
    EXPECT_EQ(playMusic(str(name)), song);
    EXPECT_EQ(channelPlaying(song), 1);
  }
}

TEST_F(AudioCommandsTest, TheCdChannelIsOneChannelAlwaysPlaying) {
  const int32_t cd = playCDTrack(1, 7);
  ASSERT_NE(cd, 0);
  EXPECT_EQ(engine().cdPlayMode(), CdPlayMode::Once);
  EXPECT_EQ(playCDTrack(2, 2), cd);
  EXPECT_EQ(engine().cdPlayMode(), CdPlayMode::Looped);
  EXPECT_EQ(playCDTrack(3, 3), cd);
  EXPECT_EQ(engine().cdPlayMode(), CdPlayMode::Continuous);
  EXPECT_EQ(playCDTrack(1, 1), cd);
  EXPECT_EQ(engine().cdPlayMode(), CdPlayMode::Once);
  EXPECT_EQ(channelPlaying(cd), 1);
  stopChannel(cd);
  channelPitch(cd, 1000);
  channelPan(cd, 1.0f);
  channelVolume(cd, 0.5f);
  pauseChannel(cd);
  EXPECT_EQ(channelPlaying(cd), 1);
}

TEST(AudioWithoutManager, LoadAndPlayAnswerZeroAndTheRestDoNothing) {
  RecordingDebugger debugger;
  sysRuntime* const runtime = sysRuntime::create(nullptr, "", &debugger, 0);
  ASSERT_NE(runtime, nullptr);
  currentRuntime = runtime;
  runtime->audio = new sysAudio;  // another manager is open
  ASSERT_TRUE(audio_create());
  EXPECT_EQ(manager(), nullptr);
  {
    TempDir dir;
    writeWav("tone.wav", 22050, 1, 16, sine(441, 22050, 0.1, 0.25));
    EXPECT_EQ(loadSound(str("tone.wav")), 0);
    EXPECT_EQ(playMusic(str("tone.wav")), 0);
  }
  EXPECT_EQ(playCDTrack(1, 1), 0);
  EXPECT_EQ(playSound(1234), 0);
  freeSound(1234);
  loopSound(1234);
  stopChannel(1234);
  EXPECT_EQ(channelPlaying(1234), 0);
  audio_destroy();
  EXPECT_NE(runtime->audio, nullptr);  // the other manager is not this module's to close
  currentRuntime = nullptr;
  sysRuntime::destroy(runtime);  // closes it
}

TEST(AudioWithRuntime, TheModuleOpensTheRunsManagerAndHandsItBack) {
  RecordingDebugger debugger;
  sysRuntime* const runtime = sysRuntime::create(nullptr, "", &debugger, 0);
  ASSERT_NE(runtime, nullptr);
  currentRuntime = runtime;
  ASSERT_TRUE(audio_create());
  EXPECT_EQ(runtime->audio, manager());
  EXPECT_NE(manager(), nullptr);
  audio_destroy();
  EXPECT_EQ(runtime->audio, nullptr);
  ASSERT_TRUE(audio_create());  // left open: the host closes it at the end of the run
  currentRuntime = nullptr;
  sysRuntime::destroy(runtime);
}

// --- files ------------------------------------------------------------------------

struct Loaded {
  int channels;
  int rate;
  int frames;
};

Loaded describe(int32_t sound) {
  const Sample* const sample = soundOf(sound)->sample;
  return {sample->channels, sample->defaults.frequency, sample->frames};
}

TEST_F(AudioCommandsTest, LoadsWavAtEightAndSixteenBitsMonoAndStereo) {
  for (const int bits : {8, 16}) {
    for (const int channels : {1, 2}) {
      const std::string name = "s" + std::to_string(bits) + "_" + std::to_string(channels) + ".WAV";
      writeWav(name, 11025, channels, bits, sine(441, 11025, 0.5, 0.5, channels));
      const int32_t sound = loadSound(str(name));
      ASSERT_NE(sound, 0) << name;
      const Loaded loaded = describe(sound);
      EXPECT_EQ(loaded.channels, channels) << name;
      EXPECT_EQ(loaded.rate, 11025) << name;
      EXPECT_EQ(loaded.frames, 5512) << name;
      // The peak of the sine survives the conversion to 16 bits.
      const Sample* const sample = soundOf(sound)->sample;
      const int16_t peak = *std::max_element(sample->data.begin(), sample->data.end());
      EXPECT_NEAR(peak, 16384, 300) << name;
    }
  }
}

TEST_F(AudioCommandsTest, LoadsOggVorbisMp3AndRawFiles) {
  writeWav("source.wav", 44100, 2, 16, sine(441, 44100, 0.5, 0.5, 2));
  convert("source.wav", "tone.ogg");
  convert("source.wav", "tone.mp3");
  for (const char* name : {"tone.ogg", "Tone.MP3"}) {
    const int32_t sound = loadSound(str(name));
    ASSERT_NE(sound, 0) << name;
    const Loaded loaded = describe(sound);
    EXPECT_EQ(loaded.channels, 2) << name;
    EXPECT_EQ(loaded.rate, 44100) << name;
    EXPECT_NEAR(loaded.frames, 22050, 2500) << name;  // encoders pad the ends
  }
  put("bytes.raw", std::string("\x00\x40\x7f\x80\xc0\xff", 6));
  const int32_t raw = loadSound(str("BYTES.RAW"));
  ASSERT_NE(raw, 0);
  const Loaded loaded = describe(raw);
  EXPECT_EQ(loaded.channels, 1);
  EXPECT_EQ(loaded.rate, 44100);
  EXPECT_EQ(soundOf(raw)->sample->data, (std::vector<int16_t>{0, 16384, 32512, -32768, -16384, -256}));
}

TEST_F(AudioCommandsTest, StreamsPlayEveryStreamedFormat) {
  writeWav("source.wav", 22050, 1, 16, sine(441, 22050, 1.0, 0.5));
  convert("source.wav", "tone.ogg");
  convert("source.wav", "tone.mp3");
  put("tone.raw", std::string(44100, '\x20'));
  for (const char* name : {"source.wav", "tone.ogg", "tone.mp3", "tone.raw"}) {
    const int32_t channel = playMusic(str(name));
    ASSERT_NE(channel, 0) << name;
    EXPECT_EQ(channelPlaying(channel), 1) << name;
    ASSERT_TRUE(waitFor([&] { return channelPlaying(channel) == 0; })) << name << " never ended";
  }
}

TEST_F(AudioCommandsTest, CorruptTruncatedAndMissingFilesGiveZero) {
  writeWav("good.wav", 22050, 1, 16, sine(441, 22050, 0.3, 0.5));
  convert("good.wav", "good.ogg");
  convert("good.wav", "good.mp3");
  const std::string wav = contents("good.wav");
  const std::string ogg = contents("good.ogg");
  const std::string mp3 = contents("good.mp3");
  const std::string mod = contents(exampleAsset("tune.mod"));
  const std::string mid = contents(exampleAsset("tune.mid"));
  put("cut.wav", wav.substr(0, 30));
  put("cut.ogg", ogg.substr(0, 60));
  put("cut.mp3", mp3.substr(0, 3));
  put("empty.wav", "");
  put("empty.raw", "");
  put("text.wav", "This is not a sound file at all, only some words.\n");
  std::string noise(5000, '\0');
  for (size_t i = 0; i < noise.size(); ++i) {
    noise[i] = char((i * 7919u) >> 3);
  }
  put("noise.ogg", "OggS" + noise);
  put("header.wav", wav.substr(0, 44));  // a header announcing data that is not there
  for (const char* name : {"cut.wav", "cut.ogg", "cut.mp3", "empty.wav", "empty.raw", "text.wav",
                           "noise.ogg", "header.wav", "missing.wav", "."}) {
    EXPECT_EQ(loadSound(str(name)), 0) << name;
    EXPECT_EQ(playMusic(str(name)), 0) << name;
  }
  put("cut.mid", mid.substr(0, 30));
  put("cut.mod", mod.substr(0, 600));
  put("noise.mod", noise);
  put("text.mid", "MThd this is only text pretending to be MIDI");
  for (const char* name : {"cut.mid", "cut.mod", "noise.mod", "text.mid", "missing.mod"}) {
    EXPECT_EQ(playMusic(str(name)), 0) << name;
  }
}

TEST_F(AudioCommandsTest, FileNamesResolveWithBackslashesAndAnyCase) {
  std::filesystem::create_directories("Sounds/Fx");
  writeWav("Sounds/Fx/Blip.wav", 22050, 1, 16, sine(441, 22050, 0.1, 0.25));
  EXPECT_NE(loadSound(str("sounds\\fx\\BLIP.wav")), 0);
  EXPECT_NE(playMusic(str("SOUNDS\\FX\\blip.wav")), 0);
  std::filesystem::copy_file(exampleAsset("tune.mod"), "Sounds/Tune.mod");
  EXPECT_NE(playMusic(str("sounds\\tune.mod")), 0);
}

}  // namespace
