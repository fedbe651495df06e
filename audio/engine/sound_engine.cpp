// The engine's operations. Each takes the mixing lock only to change voices (never
// while a file is read or decoded), and the output thread takes it for one mix, so
// every change lands whole between two device buffers.
#include "audio/engine/sound_engine.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <vector>

#include "audio/engine/sound_files.h"
#include "platform/audio_output.h"

namespace {

constexpr int kMixChunk = 1024;
constexpr uint32_t kGenerationMask = 0x7FFFFF;
// Song files larger than this are not songs.
constexpr std::streamoff kMaxSongBytes = std::streamoff(64) << 20;

void mixThunk(void* engine, int16_t* out, int frames) {
  static_cast<SoundEngine*>(engine)->mix(out, frames);
}

bool readWholeFile(const std::string& path, std::vector<uint8_t>& bytes) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) {
    return false;
  }
  const std::streamoff size = in.tellg();
  if (size <= 0 || size > kMaxSongBytes) {
    return false;
  }
  bytes.resize(size_t(size));
  in.seekg(0);
  return bool(in.read(reinterpret_cast<char*>(bytes.data()), size));
}

}  // namespace

SoundEngine::SoundEngine() : mixBuffer_(new float[kMixChunk * 2]) {
  output_ = openAudioOutput(kMixRate, kBufferFrames, mixThunk, this);
}

SoundEngine::~SoundEngine() {
  output_.reset();
  if (cd_) {
    feeder_.remove(cd_.get());
  }
}

bool SoundEngine::hasDevice() const { return output_->hasDevice(); }

// --- channels -------------------------------------------------------------------

int SoundEngine::handleOf(int index) const {
  return int((voices_[index].generation & kGenerationMask) << 8) | index;
}

Voice* SoundEngine::voiceOf(int handle) {
  const int index = handle & 0xFF;
  if (handle < 0 || index >= kChannels || handle != handleOf(index)) {
    return nullptr;
  }
  Voice& voice = voices_[index];
  return voice.state == VoiceState::Idle || voice.stopping ? nullptr : &voice;
}

// A silent channel first, then one fading out, then the lowest priority below the
// new sound's; -1 when every channel outranks it.
int SoundEngine::pickChannel(int priority) {
  for (int i = 0; i < kChannels; ++i) {
    if (voices_[i].state == VoiceState::Idle) {
      return i;
    }
  }
  for (int i = 0; i < kChannels; ++i) {
    if (voices_[i].stopping) {
      return i;
    }
  }
  int best = -1;
  for (int i = 0; i < kChannels; ++i) {
    if (voices_[i].priority < priority && (best < 0 || voices_[i].priority < voices_[best].priority)) {
      best = i;
    }
  }
  return best;
}

void SoundEngine::stopVoice(Voice& voice) {
  if (voice.state == VoiceState::Paused) {
    voice.state = VoiceState::Idle;  // already silent
    return;
  }
  voice.stopping = true;
  retarget(voice);
}

void SoundEngine::cutVoicesOf(const void* source) {
  for (Voice& voice : voices_) {
    if (voice.sample == source || voice.source == source) {
      voice.state = VoiceState::Idle;
      voice.sample = nullptr;
      voice.source = nullptr;
    }
  }
}

void SoundEngine::stop(int channel) {
  const std::lock_guard<std::mutex> lock(mixing_);
  if (Voice* voice = voiceOf(channel)) {
    stopVoice(*voice);
  }
}

void SoundEngine::setPaused(int channel, bool paused) {
  const std::lock_guard<std::mutex> lock(mixing_);
  if (Voice* voice = voiceOf(channel); voice && voice->paused != paused) {
    voice->paused = paused;
    retarget(*voice);
  }
}

void SoundEngine::setFrequency(int channel, int hertz) {
  const std::lock_guard<std::mutex> lock(mixing_);
  if (Voice* voice = voiceOf(channel)) {
    ::setFrequency(*voice, hertz);
  }
}

void SoundEngine::setVolume(int channel, int volume) {
  const std::lock_guard<std::mutex> lock(mixing_);
  if (Voice* voice = voiceOf(channel)) {
    voice->volume = volume;
    retarget(*voice);
  }
}

void SoundEngine::setPan(int channel, int pan) {
  const std::lock_guard<std::mutex> lock(mixing_);
  if (Voice* voice = voiceOf(channel)) {
    voice->pan = pan;
    retarget(*voice);
  }
}

bool SoundEngine::isPlaying(int channel) {
  const std::lock_guard<std::mutex> lock(mixing_);
  return voiceOf(channel) != nullptr;
}

bool SoundEngine::hasOutput(int channel) {
  const std::lock_guard<std::mutex> lock(mixing_);
  const int index = channel & 0xFF;
  return channel >= 0 && index < kChannels && channel == handleOf(index) &&
         voices_[index].hasOutput;
}

// --- samples --------------------------------------------------------------------

Sample* SoundEngine::loadSample(const std::string& path) {
  return decodeSample(path).release();
}

SampleDefaults SoundEngine::sampleDefaults(const Sample* sample) {
  const std::lock_guard<std::mutex> lock(mixing_);
  return sample->defaults;
}

void SoundEngine::setSampleDefaults(Sample* sample, const SampleDefaults& defaults) {
  const std::lock_guard<std::mutex> lock(mixing_);
  sample->defaults = defaults;
}

void SoundEngine::setSampleLoop(Sample* sample, bool loop) {
  const std::lock_guard<std::mutex> lock(mixing_);
  sample->loop = loop;
}

void SoundEngine::freeSample(Sample* sample) {
  {
    const std::lock_guard<std::mutex> lock(mixing_);
    cutVoicesOf(sample);
  }
  delete sample;
}

int SoundEngine::playSample(int channel, Sample* sample) {
  const std::lock_guard<std::mutex> lock(mixing_);
  const int index = channel == kAnyFree ? pickChannel(sample->defaults.priority) : channel;
  if (index < 0 || index >= kChannels) {
    return -1;
  }
  Voice& voice = voices_[index];
  voice.sample = sample;
  voice.source = nullptr;
  voice.loop = sample->loop;
  voice.frequency = sample->defaults.frequency;
  voice.volume = sample->defaults.volume;
  voice.pan = sample->defaults.pan;
  voice.priority = sample->defaults.priority;
  startVoice(voice);
  return handleOf(index);
}

// --- streams and songs ----------------------------------------------------------

// Starts a fed source from its beginning on voice `index` (lock held).
int SoundEngine::startFed(int index, FeedSource* source, int volume, int priority) {
  Voice& voice = voices_[index];
  voice.sample = nullptr;
  voice.source = source;
  voice.loop = false;
  voice.frequency = source->rate();
  voice.volume = volume;
  voice.pan = 128;
  voice.priority = priority;
  voice.epoch = source->start();
  startVoice(voice);
  return handleOf(index);
}

StreamSource* SoundEngine::openStream(const std::string& path) {
  return openStream(openSoundDecoder(path));
}

StreamSource* SoundEngine::openStream(std::unique_ptr<PcmDecoder> decoder) {
  if (!decoder) {
    return nullptr;
  }
  StreamSource* stream = new StreamSource(std::move(decoder));
  feeder_.add(stream);
  return stream;
}

int SoundEngine::playStream(int channel, StreamSource* stream) {
  int handle;
  {
    const std::lock_guard<std::mutex> lock(mixing_);
    if (Voice* playing = voiceOf(stream->voice); playing && playing->source == stream) {
      playing->state = VoiceState::Idle;
      playing->source = nullptr;
    }
    const int index = channel == kAnyFree ? pickChannel(kStreamPriority) : channel;
    if (index < 0 || index >= kChannels) {
      return -1;
    }
    handle = startFed(index, stream, 255, kStreamPriority);
    stream->voice = handle;
  }
  feeder_.wake();
  return handle;
}

void SoundEngine::stopStream(StreamSource* stream) {
  const std::lock_guard<std::mutex> lock(mixing_);
  stream->halt();
  if (Voice* voice = voiceOf(stream->voice); voice && voice->source == stream) {
    stopVoice(*voice);
  }
  stream->voice = -1;
}

void SoundEngine::closeStream(StreamSource* stream) {
  {
    const std::lock_guard<std::mutex> lock(mixing_);
    stream->halt();
    cutVoicesOf(stream);
  }
  feeder_.remove(stream);
  delete stream;
}

SongSource* SoundEngine::loadSong(const std::string& path) {
  std::vector<uint8_t> bytes;
  if (!readWholeFile(path, bytes)) {
    return nullptr;
  }
  std::unique_ptr<SongRenderer> renderer =
      looksLikeMidi(bytes) ? loadMidiSong(bytes, kMixRate) : loadTrackerSong(bytes, kMixRate);
  if (!renderer) {
    return nullptr;
  }
  SongSource* song = new SongSource(std::move(renderer), kMixRate);
  feeder_.add(song);
  return song;
}

bool SoundEngine::playSong(SongSource* song) {
  {
    const std::lock_guard<std::mutex> lock(mixing_);
    int index = -1;
    for (int i = kChannels; i < kChannels + kMusicSlots; ++i) {
      if (voices_[i].source == song) {
        index = i;
        break;
      }
    }
    for (int i = kChannels; index < 0 && i < kChannels + kMusicSlots; ++i) {
      if (voices_[i].state == VoiceState::Idle) {
        index = i;
      }
    }
    if (index < 0) {
      return false;
    }
    song->voice = startFed(index, song, song->volume, kStreamPriority);
  }
  feeder_.wake();
  return true;
}

void SoundEngine::stopSong(SongSource* song) {
  const std::lock_guard<std::mutex> lock(mixing_);
  song->halt();
  for (int i = kChannels; i < kChannels + kMusicSlots; ++i) {
    if (voices_[i].source == song && voices_[i].state != VoiceState::Idle) {
      stopVoice(voices_[i]);
    }
  }
}

void SoundEngine::setSongPaused(SongSource* song, bool paused) {
  const std::lock_guard<std::mutex> lock(mixing_);
  for (int i = kChannels; i < kChannels + kMusicSlots; ++i) {
    Voice& voice = voices_[i];
    if (voice.source == song && voice.state != VoiceState::Idle && !voice.stopping &&
        voice.paused != paused) {
      voice.paused = paused;
      retarget(voice);
    }
  }
}

void SoundEngine::setSongVolume(SongSource* song, int volume) {
  const std::lock_guard<std::mutex> lock(mixing_);
  song->volume = volume;
  for (int i = kChannels; i < kChannels + kMusicSlots; ++i) {
    if (voices_[i].source == song && voices_[i].state != VoiceState::Idle) {
      voices_[i].volume = volume;
      retarget(voices_[i]);
    }
  }
}

bool SoundEngine::songPlaying(SongSource* song) {
  const std::lock_guard<std::mutex> lock(mixing_);
  for (int i = kChannels; i < kChannels + kMusicSlots; ++i) {
    const Voice& voice = voices_[i];
    if (voice.source == song && voice.state != VoiceState::Idle && !voice.stopping) {
      return true;
    }
  }
  return false;
}

void SoundEngine::freeSong(SongSource* song) {
  {
    const std::lock_guard<std::mutex> lock(mixing_);
    song->halt();
    cutVoicesOf(song);
  }
  feeder_.remove(song);
  delete song;
}

// --- CD -------------------------------------------------------------------------

bool SoundEngine::cdHasDrive() {
  if (!cd_) {
    std::unique_ptr<CdDrive> drive = openCdDrive();
    if (!drive) {
      return false;
    }
    cd_ = std::make_unique<CdSource>(std::move(drive));
    feeder_.add(cd_.get());
  }
  return true;
}

void SoundEngine::cdPlay(int drive, int track) {
  if (drive != 0 || !cdHasDrive()) {
    return;
  }
  {
    const std::lock_guard<std::mutex> lock(mixing_);
    cd_->track.store(track);
    cd_->mode.store(cdMode_);
    startFed(kCdVoice, cd_.get(), cdVolume_, kStreamPriority);
  }
  feeder_.wake();
}

void SoundEngine::cdStop(int drive) {
  if (drive != 0 || !cd_) {
    return;
  }
  const std::lock_guard<std::mutex> lock(mixing_);
  cd_->halt();
  if (voices_[kCdVoice].state != VoiceState::Idle) {
    stopVoice(voices_[kCdVoice]);
  }
}

void SoundEngine::cdSetPaused(int drive, bool paused) {
  if (drive != 0 || !cd_) {
    return;
  }
  const std::lock_guard<std::mutex> lock(mixing_);
  Voice& voice = voices_[kCdVoice];
  if (voice.state != VoiceState::Idle && !voice.stopping && voice.paused != paused) {
    voice.paused = paused;
    retarget(voice);
  }
}

void SoundEngine::cdSetVolume(int drive, int volume) {
  if (drive != 0) {
    return;
  }
  const std::lock_guard<std::mutex> lock(mixing_);
  cdVolume_ = volume;
  Voice& voice = voices_[kCdVoice];
  if (voice.state != VoiceState::Idle) {
    voice.volume = volume;
    retarget(voice);
  }
}

void SoundEngine::cdSetPlayMode(int drive, CdPlayMode mode) {
  if (drive != 0) {
    return;
  }
  const std::lock_guard<std::mutex> lock(mixing_);
  cdMode_ = mode;
  if (cd_) {
    cd_->mode.store(mode);
  }
}

CdPlayMode SoundEngine::cdPlayMode() {
  const std::lock_guard<std::mutex> lock(mixing_);
  return cdMode_;
}

// --- mixing ---------------------------------------------------------------------

void SoundEngine::mix(int16_t* out, int frames) {
  const std::lock_guard<std::mutex> lock(mixing_);
  float* const buffer = mixBuffer_.get();
  while (frames > 0) {
    const int n = std::min(frames, kMixChunk);
    std::fill(buffer, buffer + 2 * n, 0.0f);
    for (Voice& voice : voices_) {
      if (voice.state == VoiceState::Playing) {
        mixVoice(voice, buffer, n);
      }
    }
    for (int i = 0; i < 2 * n; ++i) {
      const float v = std::clamp(buffer[i], -1.0f, 1.0f);
      out[i] = int16_t(std::lrintf(v * 32767.0f));
    }
    out += 2 * n;
    frames -= n;
  }
}
