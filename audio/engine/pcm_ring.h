// A single-producer, single-consumer ring of PCM blocks between the decoding thread
// (producer) and the mixing thread (consumer), without locks. Each block carries the
// epoch it was decoded for, so the consumer can drop what a stop or restart made stale,
// and whether it ends its source.
#pragma once
#include <atomic>
#include <cstdint>

struct PcmBlock {
  static constexpr int kFrames = 1024;
  int16_t frames[kFrames * 2];  // interleaved; mono sources use the first half
  int count = 0;
  uint32_t epoch = 0;
  bool last = false;  // the source ends after this block
};

class PcmRing {
 public:
  static constexpr uint32_t kBlocks = 16;

  // Producer side.
  PcmBlock* writable() { return full() ? nullptr : &blocks_[head_.load(std::memory_order_relaxed) % kBlocks]; }
  void publish() { head_.store(head_.load(std::memory_order_relaxed) + 1, std::memory_order_release); }
  bool full() const {
    return head_.load(std::memory_order_relaxed) - tail_.load(std::memory_order_acquire) >= kBlocks;
  }

  // Consumer side.
  const PcmBlock* front() const {
    const uint32_t tail = tail_.load(std::memory_order_relaxed);
    return tail == head_.load(std::memory_order_acquire) ? nullptr : &blocks_[tail % kBlocks];
  }
  void pop() { tail_.store(tail_.load(std::memory_order_relaxed) + 1, std::memory_order_release); }

 private:
  PcmBlock blocks_[kBlocks];
  std::atomic<uint32_t> head_{0};
  std::atomic<uint32_t> tail_{0};
};
