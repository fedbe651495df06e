// The decoding thread: keeps the ring of every registered source filled ahead of the
// mixer. The mixer never waits on it; the program thread waits for it only while a
// source is added or removed (at most one pass over the sources).
#pragma once
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "audio/engine/feed_source.h"

class Feeder {
 public:
  Feeder();
  ~Feeder();
  Feeder(const Feeder&) = delete;
  Feeder& operator=(const Feeder&) = delete;

  void add(FeedSource* source);
  void remove(FeedSource* source);  // once it returns, the thread no longer touches it
  void wake();                      // a source was started: fill it now

 private:
  void run();

  std::mutex mutex_;
  std::condition_variable wakeUp_;
  std::vector<FeedSource*> sources_;
  std::atomic<bool> woken_{false};
  bool quit_ = false;
  std::thread thread_;
};
