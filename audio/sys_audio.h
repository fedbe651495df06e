// sysAudio: the audio manager of a run. Owns the sound engine, every loaded sound and
// every channel it made (the pool of sound channels, the music channels by file name,
// and the one CD channel), and frees them all when it closes.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "audio/engine/sample.h"
#include "audio/sys_channel.h"
#include "host/host_services.h"

class SoundEngine;
class StreamSource;
class sysAudio;

struct sysSound {
  sysAudio* manager;
  bool defaultsCurrent;  // the engine's sample defaults equal the fields below
  int32_t pitch;
  int32_t volume;
  int32_t pan;
  int32_t priority;
  Sample* sample;
};

class sysAudio final : public AudioHost {
 public:
  sysAudio();
  ~sysAudio() override;
  sysAudio(const sysAudio&) = delete;
  sysAudio& operator=(const sysAudio&) = delete;

  SoundEngine& engine() { return *engine_; }

  sysSound* loadSound(const std::string& programPath);  // null on failure
  bool hasSound(const sysSound* sound) const { return sounds_.count(const_cast<sysSound*>(sound)) != 0; }
  void freeSound(sysSound* sound);
  void loopSound(sysSound* sound);
  sysChannel* playSound(sysSound* sound);  // null when no channel is free

  sysChannel* playMusic(const std::string& name);  // null when the file cannot play
  sysChannel* playCDTrack(int32_t track, int32_t mode);

  // The channel a handle names, or null unless this manager made it.
  sysChannel* channel(int32_t handle) const;

  // Movie sound tracks, streamed on channels of their own (path already resolved).
  uint32_t playSoundTrack(const std::string& path) override;
  bool soundTrackPlaying(uint32_t track) override;
  void closeSoundTrack(uint32_t track) override;

 private:
  void adopt(sysChannel* channel);

  std::unique_ptr<SoundEngine> engine_;
  std::set<sysSound*> sounds_;
  std::vector<sysChannel*> channels_;  // every channel made, in creation order
  std::set<sysChannel*> known_;        // the same, for handle checks
  std::vector<sysSoundChannel*> pool_;
  std::map<std::string, sysMusicChannel*> music_;
  sysCDChannel* cd_ = nullptr;
  // Open sound tracks by number; numbers are never reused within a manager.
  std::map<uint32_t, StreamSource*> tracks_;
  uint32_t lastTrack_ = 0;
};
