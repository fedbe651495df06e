// The decoding side of a feed source.
#include "audio/engine/feed_source.h"

bool FeedSource::feed() {
  if (!active_.load(std::memory_order_acquire)) {
    return false;
  }
  const uint32_t epoch = epoch_.load(std::memory_order_acquire);
  if (epoch != producedEpoch_) {
    rewind();
    producedEpoch_ = epoch;
    ended_ = false;
  }
  // A few blocks per pass, so one source never holds up the others for long.
  constexpr int kBlocksPerPass = 4;
  bool made = false;
  for (int i = 0; i < kBlocksPerPass && !ended_; ++i) {
    PcmBlock* block = ring_.writable();
    if (!block) {
      break;
    }
    const int count = produce(block->frames, PcmBlock::kFrames);
    block->count = count < 0 ? 0 : count;
    block->epoch = epoch;
    block->last = block->count < PcmBlock::kFrames;
    ended_ = block->last;
    ring_.publish();
    made = true;
    if (epoch_.load(std::memory_order_acquire) != epoch) {
      break;  // restarted or stopped meanwhile: start over on the next pass
    }
  }
  return made;
}
