// The decoding thread's loop: a pass over the sources, then a short sleep when no
// ring had room (the mixer drains a 1,024-frame block in about 23 ms at normal pitch).
#include "audio/engine/feeder.h"

#include <algorithm>
#include <chrono>

Feeder::Feeder() : thread_([this] { run(); }) {}

Feeder::~Feeder() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  wakeUp_.notify_one();
  thread_.join();
}

void Feeder::add(FeedSource* source) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    sources_.push_back(source);
  }
}

void Feeder::remove(FeedSource* source) {
  const std::lock_guard<std::mutex> lock(mutex_);
  sources_.erase(std::remove(sources_.begin(), sources_.end(), source), sources_.end());
}

// Without the lock, so a start never waits for a pass; a wake-up lost in the race is
// caught by the next timed wait.
void Feeder::wake() {
  woken_.store(true);
  wakeUp_.notify_one();
}

void Feeder::run() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!quit_) {
    bool made = false;
    for (FeedSource* source : sources_) {
      made |= source->feed();
    }
    if (!made && !woken_.exchange(false)) {
      wakeUp_.wait_for(lock, std::chrono::milliseconds(5));
    }
  }
}
