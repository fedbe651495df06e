// The three kinds of fed source: a sound file streamed from disk, a synthesised song,
// and the CD drive's audio tracks.
#pragma once
#include <atomic>
#include <memory>
#include <vector>

#include "audio/engine/feed_source.h"
#include "platform/cd_drive.h"
#include "platform/pcm_decoder.h"
#include "platform/song_renderer.h"

class StreamSource final : public FeedSource {
 public:
  explicit StreamSource(std::unique_ptr<PcmDecoder> decoder)
      : FeedSource(decoder->rate(), decoder->channels()), decoder_(std::move(decoder)) {}
  int voice = -1;  // channel handle it last played on (program thread)

 protected:
  void rewind() override { decoder_->rewind(); }
  int produce(int16_t* out, int frames) override { return decoder_->read(out, frames); }

 private:
  std::unique_ptr<PcmDecoder> decoder_;
};

class SongSource final : public FeedSource {
 public:
  SongSource(std::unique_ptr<SongRenderer> renderer, int rate)
      : FeedSource(rate, 2), renderer_(std::move(renderer)) {}
  int voice = -1;   // channel handle of its music slot (program thread)
  int volume = 255;

 protected:
  void rewind() override { renderer_->restart(); }
  int produce(int16_t* out, int frames) override { return renderer_->render(out, frames); }

 private:
  std::unique_ptr<SongRenderer> renderer_;
};

enum class CdPlayMode { Once, Looped, Continuous };

class CdSource final : public FeedSource {
 public:
  explicit CdSource(std::unique_ptr<CdDrive> drive);
  // Program thread, before start(): what the next start plays.
  std::atomic<int> track{1};
  std::atomic<CdPlayMode> mode{CdPlayMode::Once};
  int voice = -1;
  int volume = 255;

 protected:
  void rewind() override;
  int produce(int16_t* out, int frames) override;

 private:
  bool enterTrack(int number);
  bool refill();

  std::unique_ptr<CdDrive> drive_;
  int track_ = 0;
  int32_t first_ = 0, end_ = 0, next_ = 0;  // sectors of the track being read
  std::vector<int16_t> sectors_;
  size_t filled_ = 0;  // samples read into sectors_
  size_t taken_ = 0;
  bool failed_ = false;
};
