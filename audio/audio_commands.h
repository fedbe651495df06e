// The audio module's handlers: sounds, music, CD audio and channels. Every string
// argument is released. Sound and channel handles are the objects' addresses.
#pragma once
#include <cstdint>

#include "basic/ks_str.h"

class sysAudio;

namespace audiocmd {

int32_t loadSound(ksStr* filename);
void freeSound(int32_t sound);
void loopSound(int32_t sound);
void soundPitch(int32_t sound, int32_t pitch);
void soundVolume(int32_t sound, float volume);
void soundPan(int32_t sound, float pan);
int32_t playSound(int32_t sound);
int32_t playMusic(ksStr* midifile);
int32_t playCDTrack(int32_t track, int32_t mode);
void stopChannel(int32_t channel);
void pauseChannel(int32_t channel);
void resumeChannel(int32_t channel);
void channelPitch(int32_t channel, int32_t pitch);
void channelVolume(int32_t channel, float volume);
void channelPan(int32_t channel, float pan);
int32_t channelPlaying(int32_t channel);

// The module's manager; null when another manager was open when it was created.
sysAudio* manager();

}  // namespace audiocmd
