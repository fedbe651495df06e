// sysChannel: a playing voice as the program holds it. Four kinds: a sound on an
// engine channel, a stream, a song, and the CD. The channel handle is the object's
// address.
#pragma once
#include <cstdint>

class SoundEngine;
class StreamSource;
class SongSource;

class sysChannel {
 public:
  virtual ~sysChannel() = default;
  virtual void stop() = 0;
  virtual void setPaused(bool paused) = 0;
  virtual void setPitch(int32_t hertz) = 0;
  virtual void setVolume(float volume) = 0;  // 0..1
  virtual void setPan(float pan) = 0;        // -1 left .. +1 right
  virtual bool isPlaying() = 0;
};

// Streams and songs, which PlayMusic restarts when their file is named again.
class sysMusicChannel : public sysChannel {
 public:
  virtual void restart() = 0;
};

class sysSoundChannel final : public sysChannel {
 public:
  explicit sysSoundChannel(SoundEngine& engine) : engine_(engine) {}
  void stop() override;
  void setPaused(bool paused) override;
  void setPitch(int32_t hertz) override;
  void setVolume(float volume) override;
  void setPan(float pan) override;
  bool isPlaying() override;
  int index = -1;  // engine channel handle; -1 before the first play

 private:
  SoundEngine& engine_;
};

class sysStreamChannel final : public sysMusicChannel {
 public:
  sysStreamChannel(SoundEngine& engine, StreamSource* stream) : engine_(engine), stream_(stream) {}
  ~sysStreamChannel() override;  // closes the stream
  void stop() override;
  void setPaused(bool paused) override;
  void setPitch(int32_t hertz) override;
  void setVolume(float volume) override;
  void setPan(float pan) override;
  bool isPlaying() override;
  void restart() override;

 private:
  SoundEngine& engine_;
  StreamSource* stream_;
  int index_ = -1;
};

class sysSongChannel final : public sysMusicChannel {
 public:
  sysSongChannel(SoundEngine& engine, SongSource* song) : engine_(engine), song_(song) {}
  ~sysSongChannel() override;  // frees the song
  void stop() override;
  void setPaused(bool paused) override;
  void setPitch(int32_t) override {}
  void setVolume(float volume) override;
  void setPan(float) override {}
  bool isPlaying() override;
  void restart() override;

 private:
  SoundEngine& engine_;
  SongSource* song_;
};

class sysCDChannel final : public sysChannel {
 public:
  explicit sysCDChannel(SoundEngine& engine) : engine_(engine) {}
  void stop() override;
  void setPaused(bool paused) override;
  void setPitch(int32_t) override {}
  void setVolume(float volume) override;
  void setPan(float) override {}
  bool isPlaying() override { return true; }
  void play(int32_t track, int32_t mode);

 private:
  SoundEngine& engine_;
};

// The conversions from the program's scales to the engine's 0..255.
int32_t volumeByte(float volume);  // truncate(volume × 255)
int32_t panByte(float pan);        // truncate((pan + 1) × 127.5)
