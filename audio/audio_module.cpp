// The audio module: sounds, music, CD audio and channel commands on the run's audio
// manager. With no manager the load and play commands answer 0 and the others do
// nothing. Channel handles are checked against the channels the manager made, in every
// mode, so a stale or invented handle is ignored rather than followed.
#include "audio/audio_commands.h"
#include "audio/sys_audio.h"
#include "basic/ks_error.h"
#include "host/sys_runtime.h"
#include "runtime/entry.h"
#include "runtime/modules.h"

namespace {

const char* const kNoSound = "Sound does not exist";

// The run's manager, taken from the sysRuntime at create; without a sysRuntime (tests)
// the module makes and owns it.
sysAudio* audio = nullptr;
bool ownsManager = false;

int32_t handleOf(const void* object) {
  return static_cast<int32_t>(reinterpret_cast<intptr_t>(object));
}

// A live sound of the manager. In debug mode anything else is an error; outside it, a
// handle that is not a live sound is ignored (null).
sysSound* validSound(int32_t handle) {
  sysSound* const sound = reinterpret_cast<sysSound*>(static_cast<intptr_t>(handle));
  if (audio && audio->hasSound(sound)) {
    return sound;
  }
  if (debugMode) {
    runtimeError(kNoSound);
  }
  return nullptr;
}

sysChannel* liveChannel(int32_t handle) {
  return audio && handle != 0 ? audio->channel(handle) : nullptr;
}

}  // namespace

namespace audiocmd {

sysAudio* manager() { return audio; }

int32_t loadSound(ksStr* filename) {
  const std::string name = ksStrTake(filename);
  return audio ? handleOf(audio->loadSound(name)) : 0;
}

void freeSound(int32_t sound) {
  if (audio) {
    audio->freeSound(reinterpret_cast<sysSound*>(static_cast<intptr_t>(sound)));
  }
}

void loopSound(int32_t handle) {
  if (sysSound* const sound = validSound(handle)) {
    audio->loopSound(sound);
  }
}

void soundPitch(int32_t handle, int32_t pitch) {
  if (sysSound* const sound = validSound(handle)) {
    sound->pitch = pitch;
    sound->defaultsCurrent = false;
  }
}

void soundVolume(int32_t handle, float volume) {
  if (sysSound* const sound = validSound(handle)) {
    sound->volume = volumeByte(volume);
    sound->defaultsCurrent = false;
  }
}

void soundPan(int32_t handle, float pan) {
  if (sysSound* const sound = validSound(handle)) {
    sound->pan = panByte(pan);
    sound->defaultsCurrent = false;
  }
}

int32_t playSound(int32_t handle) {
  sysSound* const sound = validSound(handle);
  return sound ? handleOf(audio->playSound(sound)) : 0;
}

int32_t playMusic(ksStr* midifile) {
  const std::string name = ksStrTake(midifile);
  return audio ? handleOf(audio->playMusic(name)) : 0;
}

int32_t playCDTrack(int32_t track, int32_t mode) {
  return audio ? handleOf(audio->playCDTrack(track, mode)) : 0;
}

void stopChannel(int32_t handle) {
  if (sysChannel* const channel = liveChannel(handle)) {
    channel->stop();
  }
}

void pauseChannel(int32_t handle) {
  if (sysChannel* const channel = liveChannel(handle)) {
    channel->setPaused(true);
  }
}

void resumeChannel(int32_t handle) {
  if (sysChannel* const channel = liveChannel(handle)) {
    channel->setPaused(false);
  }
}

void channelPitch(int32_t handle, int32_t pitch) {
  if (sysChannel* const channel = liveChannel(handle)) {
    channel->setPitch(pitch);
  }
}

void channelVolume(int32_t handle, float volume) {
  if (sysChannel* const channel = liveChannel(handle)) {
    channel->setVolume(volume);
  }
}

void channelPan(int32_t handle, float pan) {
  if (sysChannel* const channel = liveChannel(handle)) {
    channel->setPan(pan);
  }
}

int32_t channelPlaying(int32_t handle) {
  sysChannel* const channel = liveChannel(handle);
  return channel && channel->isPlaying() ? 1 : 0;
}

}  // namespace audiocmd

// The sysRuntime hands out one audio manager at a time: while one is open, this module
// runs without one (and still succeeds).
bool audio_create() {
  audio = nullptr;
  ownsManager = false;
  if (currentRuntime) {
    if (!currentRuntime->audio) {
      audio = new sysAudio;
      currentRuntime->audio = audio;
    }
    return true;
  }
  audio = new sysAudio;
  ownsManager = true;
  return true;
}

void audio_destroy() {
  if (currentRuntime && audio && currentRuntime->audio == audio) {
    currentRuntime->audio = nullptr;
    delete audio;
  } else if (ownsManager) {
    delete audio;
  }
  audio = nullptr;
  ownsManager = false;
}

void audio_link(LinkCallback callback) {
  using namespace audiocmd;
  callback("%LoadSound$filename", ksEntry<&loadSound>());
  callback("FreeSound%sound", ksEntry<&freeSound>());
  callback("LoopSound%sound", ksEntry<&loopSound>());
  callback("SoundPitch%sound%pitch", ksEntry<&soundPitch>());
  callback("SoundVolume%sound#volume", ksEntry<&soundVolume>());
  callback("SoundPan%sound#pan", ksEntry<&soundPan>());
  callback("%PlaySound%sound", ksEntry<&playSound>());
  callback("%PlayMusic$midifile", ksEntry<&playMusic>());
  callback("%PlayCDTrack%track%mode=1", ksEntry<&playCDTrack>());
  callback("StopChannel%channel", ksEntry<&stopChannel>());
  callback("PauseChannel%channel", ksEntry<&pauseChannel>());
  callback("ResumeChannel%channel", ksEntry<&resumeChannel>());
  callback("ChannelPitch%channel%pitch", ksEntry<&channelPitch>());
  callback("ChannelVolume%channel#volume", ksEntry<&channelVolume>());
  callback("ChannelPan%channel#pan", ksEntry<&channelPan>());
  callback("%ChannelPlaying%channel", ksEntry<&channelPlaying>());
}
