// The four channel kinds on the sound engine.
#include "audio/sys_channel.h"

#include <cmath>

#include "audio/engine/sound_engine.h"

namespace {

// Truncation towards zero that stays defined for values outside the integer range.
int32_t truncated(float value) {
  if (std::isnan(value)) {
    return 0;
  }
  if (value >= 2147483520.0f) {
    return INT32_MAX;
  }
  if (value <= -2147483648.0f) {
    return INT32_MIN;
  }
  return int32_t(value);
}

}  // namespace

int32_t volumeByte(float volume) { return truncated(volume * 255.0f); }

int32_t panByte(float pan) { return truncated((pan + 1.0f) * 127.5f); }

void sysSoundChannel::stop() { engine_.stop(index); }
void sysSoundChannel::setPaused(bool paused) { engine_.setPaused(index, paused); }
void sysSoundChannel::setPitch(int32_t hertz) { engine_.setFrequency(index, hertz); }
void sysSoundChannel::setVolume(float volume) { engine_.setVolume(index, volumeByte(volume)); }
void sysSoundChannel::setPan(float pan) { engine_.setPan(index, panByte(pan)); }
bool sysSoundChannel::isPlaying() { return engine_.isPlaying(index); }

sysStreamChannel::~sysStreamChannel() { engine_.closeStream(stream_); }

void sysStreamChannel::stop() {
  engine_.stopStream(stream_);
  index_ = -1;
}
void sysStreamChannel::setPaused(bool paused) { engine_.setPaused(index_, paused); }
void sysStreamChannel::setPitch(int32_t hertz) { engine_.setFrequency(index_, hertz); }
void sysStreamChannel::setVolume(float volume) { engine_.setVolume(index_, volumeByte(volume)); }
void sysStreamChannel::setPan(float pan) { engine_.setPan(index_, panByte(pan)); }
bool sysStreamChannel::isPlaying() { return engine_.isPlaying(index_); }

void sysStreamChannel::restart() {
  stop();
  index_ = engine_.playStream(SoundEngine::kAnyFree, stream_);
}

sysSongChannel::~sysSongChannel() { engine_.freeSong(song_); }
void sysSongChannel::stop() { engine_.stopSong(song_); }
void sysSongChannel::setPaused(bool paused) { engine_.setSongPaused(song_, paused); }
void sysSongChannel::setVolume(float volume) { engine_.setSongVolume(song_, volumeByte(volume)); }
bool sysSongChannel::isPlaying() { return engine_.songPlaying(song_); }
void sysSongChannel::restart() { engine_.playSong(song_); }

void sysCDChannel::stop() { engine_.cdStop(0); }
void sysCDChannel::setPaused(bool paused) { engine_.cdSetPaused(0, paused); }
void sysCDChannel::setVolume(float volume) { engine_.cdSetVolume(0, volumeByte(volume)); }

// Mode 1 plays the track once, 2 loops it, 3 plays on through the following tracks;
// any other value plays it once.
void sysCDChannel::play(int32_t track, int32_t mode) {
  stop();
  engine_.cdSetPlayMode(0, mode == 2   ? CdPlayMode::Looped
                           : mode == 3 ? CdPlayMode::Continuous
                                       : CdPlayMode::Once);
  engine_.cdPlay(0, track);
}
