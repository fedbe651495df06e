// What the decoding thread fills and a voice drains: a PCM ring and the program
// thread's requests for it. A start or restart bumps the epoch (the decoder starts over
// and everything decoded for an older epoch is dropped); `active` says whether to
// decode at all.
#pragma once
#include <atomic>
#include <cstdint>

#include "audio/engine/pcm_ring.h"

class FeedSource {
 public:
  FeedSource(int rate, int channels) : rate_(rate), channels_(channels) {}
  virtual ~FeedSource() = default;
  FeedSource(const FeedSource&) = delete;
  FeedSource& operator=(const FeedSource&) = delete;

  int rate() const { return rate_; }
  int channels() const { return channels_; }
  PcmRing& ring() { return ring_; }

  // Program thread: a new epoch from the start; returns it.
  uint32_t start() {
    const uint32_t epoch = epoch_.fetch_add(1, std::memory_order_acq_rel) + 1;
    active_.store(true, std::memory_order_release);
    return epoch;
  }
  void halt() {
    active_.store(false, std::memory_order_release);
    epoch_.fetch_add(1, std::memory_order_acq_rel);
  }

  // Decoding thread: fills the free blocks of the ring; whether it made any.
  bool feed();

 protected:
  // Decoding thread only.
  virtual void rewind() = 0;
  virtual int produce(int16_t* out, int frames) = 0;  // fewer than asked: the end

 private:
  const int rate_;
  const int channels_;
  PcmRing ring_;
  std::atomic<uint32_t> epoch_{0};
  std::atomic<bool> active_{false};
  uint32_t producedEpoch_ = 0;  // epoch 0 is never started
  bool ended_ = true;
};
