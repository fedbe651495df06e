// The runtime's sound engine: 32 software channels mixed at 44,100 Hz stereo on the
// output thread, samples decoded once into memory, streams and songs decoded ahead on
// a thread of their own, and CD audio. Every call comes from the program thread.
//
// Channel handles carry the channel's index in their low 8 bits and how many times
// that channel had started in the bits above, so a handle kept after its sound ended
// names nothing once the channel plays something else: is-playing answers false and
// every other operation ignores it.
#pragma once
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "audio/engine/feeder.h"
#include "audio/engine/sample.h"
#include "audio/engine/sources.h"
#include "audio/engine/voice.h"

class AudioOutput;

class SoundEngine {
 public:
  static constexpr int kChannels = 32;
  static constexpr int kMusicSlots = 16;    // songs playing at once
  static constexpr int kAnyFree = -1;       // "any free channel"
  static constexpr int kBufferFrames = 512; // about 12 ms per device buffer
  static constexpr int kStreamPriority = 256;  // above any sample's: never taken

  // Opens the output at once; without a device the engine runs on silently.
  SoundEngine();
  ~SoundEngine();  // closes: stops the output, then frees what it holds
  SoundEngine(const SoundEngine&) = delete;
  SoundEngine& operator=(const SoundEngine&) = delete;

  bool hasDevice() const;

  // Samples. Paths are file-system paths (already resolved).
  Sample* loadSample(const std::string& path);
  SampleDefaults sampleDefaults(const Sample* sample);
  void setSampleDefaults(Sample* sample, const SampleDefaults& defaults);
  void setSampleLoop(Sample* sample, bool loop);
  void freeSample(Sample* sample);  // channels playing it stop at once
  // A channel handle, or -1 when no channel is free (nor one of lower priority).
  int playSample(int channel, Sample* sample);

  // Channels, by handle.
  void stop(int channel);
  void setPaused(int channel, bool paused);
  void setFrequency(int channel, int hertz);
  void setVolume(int channel, int volume);
  void setPan(int channel, int pan);
  bool isPlaying(int channel);   // a paused channel is still playing
  bool hasOutput(int channel);   // at least one of its frames reached the output

  // Streams: a sound file read progressively, played on a channel.
  StreamSource* openStream(const std::string& path);
  // A stream over a decoder already open (a movie's sound track); null for null.
  StreamSource* openStream(std::unique_ptr<PcmDecoder> decoder);
  int playStream(int channel, StreamSource* stream);  // from the start
  void stopStream(StreamSource* stream);
  void closeStream(StreamSource* stream);

  // Songs (tracker modules and MIDI files), repeating until stopped.
  SongSource* loadSong(const std::string& path);
  bool playSong(SongSource* song);  // from the start
  void stopSong(SongSource* song);
  void setSongPaused(SongSource* song, bool paused);
  void setSongVolume(SongSource* song, int volume);
  bool songPlaying(SongSource* song);
  void freeSong(SongSource* song);

  // CD audio on drive 0; every operation does nothing when there is no drive.
  void cdPlay(int drive, int track);
  void cdStop(int drive);
  void cdSetPaused(int drive, bool paused);
  void cdSetVolume(int drive, int volume);
  void cdSetPlayMode(int drive, CdPlayMode mode);
  bool cdHasDrive();
  CdPlayMode cdPlayMode();  // the mode the next play uses

  // What the output thread calls: mixes `frames` stereo frames into `out`.
  void mix(int16_t* out, int frames);

 private:
  static constexpr int kCdVoice = kChannels + kMusicSlots;
  static constexpr int kVoices = kCdVoice + 1;

  Voice* voiceOf(int handle);  // null for a handle naming nothing (lock held)
  int handleOf(int index) const;
  int pickChannel(int priority);
  int startFed(int index, FeedSource* source, int volume, int priority);
  void stopVoice(Voice& voice);
  void cutVoicesOf(const void* source);

  std::mutex mixing_;  // the voices; held by the output thread for one mix
  Voice voices_[kVoices];
  std::unique_ptr<float[]> mixBuffer_;
  Feeder feeder_;
  std::unique_ptr<CdSource> cd_;
  CdPlayMode cdMode_ = CdPlayMode::Once;
  int cdVolume_ = 255;
  std::unique_ptr<AudioOutput> output_;  // last: its thread stops first
};
