// CD tracks read sector by sector: once, looped, or on through the following audio
// tracks. A read error ends the track.
#include "audio/engine/sources.h"

#include <cstring>

namespace {
constexpr int kSectorsPerRead = 8;
}

CdSource::CdSource(std::unique_ptr<CdDrive> drive)
    : FeedSource(44100, 2), drive_(std::move(drive)),
      sectors_(size_t(kSectorsPerRead) * CdDrive::kFramesPerSector * 2) {}

bool CdSource::enterTrack(int number) {
  track_ = number;
  if (!drive_->audioTrack(number, first_, end_)) {
    return false;
  }
  next_ = first_;
  return true;
}

void CdSource::rewind() {
  failed_ = !enterTrack(track.load());
  filled_ = 0;
  taken_ = 0;
}

// Reads the next run of sectors, moving on to where the play mode says after a
// track's last sector; false at the end.
bool CdSource::refill() {
  while (next_ >= end_) {
    switch (mode.load()) {
      case CdPlayMode::Looped:
        next_ = first_;
        break;
      case CdPlayMode::Continuous:
        if (track_ >= drive_->lastTrack() || !enterTrack(track_ + 1)) {
          return false;
        }
        break;
      case CdPlayMode::Once:
        return false;
    }
  }
  const int count = std::min<int32_t>(kSectorsPerRead, end_ - next_);
  if (!drive_->readSectors(sectors_.data(), next_, count)) {
    return false;
  }
  next_ += count;
  filled_ = size_t(count) * CdDrive::kFramesPerSector * 2;
  taken_ = 0;
  return true;
}

int CdSource::produce(int16_t* out, int frames) {
  int done = 0;
  while (done < frames && !failed_) {
    if (taken_ >= filled_ && !refill()) {
      failed_ = true;
      break;
    }
    const int available = int(filled_ - taken_) / 2;
    const int n = std::min(available, frames - done);
    std::memcpy(out + size_t(done) * 2, sectors_.data() + taken_, size_t(n) * 4);
    taken_ += size_t(n) * 2;
    done += n;
  }
  return done;
}
