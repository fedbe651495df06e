// The audio manager: loading and playing sounds, the channel pool and its reuse rule,
// music by file name, and the CD channel.
#include "audio/sys_audio.h"

#include "audio/engine/sound_engine.h"
#include "platform/paths.h"
#include "platform/pcm_decoder.h"

namespace {

// Names containing one of these (exactly as written, anywhere) are streamed; any
// other name is loaded as a song.
const char* const kStreamedExtensions[] = {".raw", ".wav", ".mp2", ".mp3", ".ogg", ".wma", ".asf"};

bool isStreamedName(const std::string& name) {
  for (const char* extension : kStreamedExtensions) {
    if (name.find(extension) != std::string::npos) {
      return true;
    }
  }
  return false;
}

}  // namespace

sysAudio::sysAudio() : engine_(std::make_unique<SoundEngine>()) {
  cd_ = new sysCDChannel(*engine_);
  adopt(cd_);
}

// Movie sound tracks go first, then the channels, last made first (closing streams
// and freeing songs), then the sounds, then the engine.
sysAudio::~sysAudio() {
  for (const auto& [number, stream] : tracks_) {
    engine_->closeStream(stream);
  }
  tracks_.clear();
  for (auto it = channels_.rbegin(); it != channels_.rend(); ++it) {
    delete *it;
  }
  channels_.clear();
  known_.clear();
  pool_.clear();
  music_.clear();
  for (sysSound* sound : sounds_) {
    engine_->freeSample(sound->sample);
    delete sound;
  }
  sounds_.clear();
  engine_.reset();
}

void sysAudio::adopt(sysChannel* channel) {
  channels_.push_back(channel);
  known_.insert(channel);
}

sysChannel* sysAudio::channel(int32_t handle) const {
  sysChannel* const channel = reinterpret_cast<sysChannel*>(static_cast<intptr_t>(handle));
  return known_.count(channel) != 0 ? channel : nullptr;
}

sysSound* sysAudio::loadSound(const std::string& programPath) {
  Sample* const sample = engine_->loadSample(resolvePath(programPath));
  if (!sample) {
    return nullptr;
  }
  const SampleDefaults defaults = engine_->sampleDefaults(sample);
  sysSound* const sound = new sysSound{this, true, defaults.frequency, defaults.volume,
                                       defaults.pan, defaults.priority, sample};
  sounds_.insert(sound);
  return sound;
}

void sysAudio::freeSound(sysSound* sound) {
  if (sounds_.erase(sound) == 0) {
    return;
  }
  engine_->freeSample(sound->sample);
  delete sound;
}

void sysAudio::loopSound(sysSound* sound) { engine_->setSampleLoop(sound->sample, true); }

sysChannel* sysAudio::playSound(sysSound* sound) {
  if (!sound->defaultsCurrent) {
    engine_->setSampleDefaults(sound->sample,
                               SampleDefaults{sound->pitch, sound->volume, sound->pan, sound->priority});
    sound->defaultsCurrent = true;
  }
  const int index = engine_->playSample(SoundEngine::kAnyFree, sound->sample);
  if (index < 0) {
    return nullptr;
  }
  sysSoundChannel* reused = nullptr;
  for (sysSoundChannel* pooled : pool_) {
    if (!pooled->isPlaying()) {
      reused = pooled;
      break;
    }
  }
  if (!reused) {
    reused = new sysSoundChannel(*engine_);
    pool_.push_back(reused);
    adopt(reused);
  }
  reused->index = index;
  return reused;
}

sysChannel* sysAudio::playMusic(const std::string& name) {
  if (const auto known = music_.find(name); known != music_.end()) {
    known->second->restart();
    return known->second;
  }
  const std::string path = resolvePath(name);
  sysMusicChannel* channel = nullptr;
  if (isStreamedName(name)) {
    StreamSource* const stream = engine_->openStream(path);
    if (!stream) {
      return nullptr;
    }
    channel = new sysStreamChannel(*engine_, stream);
  } else {
    SongSource* const song = engine_->loadSong(path);
    if (!song) {
      return nullptr;
    }
    channel = new sysSongChannel(*engine_, song);
  }
  channel->restart();
  adopt(channel);
  music_[name] = channel;
  return channel;
}

sysChannel* sysAudio::playCDTrack(int32_t track, int32_t mode) {
  cd_->play(track, mode);
  return cd_;
}

// Always through FFmpeg: a movie's name says nothing of its sound (a ".raw" name must
// not make the file's bytes play as raw samples).
uint32_t sysAudio::playSoundTrack(const std::string& path) {
  StreamSource* const stream = engine_->openStream(openSoundFile(path));
  if (!stream) {
    return 0;
  }
  if (engine_->playStream(SoundEngine::kAnyFree, stream) < 0) {
    engine_->closeStream(stream);
    return 0;
  }
  tracks_[++lastTrack_] = stream;
  return lastTrack_;
}

bool sysAudio::soundTrackPlaying(uint32_t track) {
  const auto found = tracks_.find(track);
  return found != tracks_.end() && engine_->isPlaying(found->second->voice);
}

void sysAudio::closeSoundTrack(uint32_t track) {
  const auto found = tracks_.find(track);
  if (found != tracks_.end()) {
    engine_->closeStream(found->second);
    tracks_.erase(found);
  }
}
