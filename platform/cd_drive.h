// The first CD drive, read digitally: audio tracks as raw CD-DA frames (44,100 Hz,
// stereo, signed 16-bit little-endian), 588 frames to a sector.
#pragma once
#include <cstdint>
#include <memory>

class CdDrive {
 public:
  static constexpr int kFramesPerSector = 588;
  virtual ~CdDrive() = default;
  virtual int firstTrack() const = 0;
  virtual int lastTrack() const = 0;
  // Sector range [first, end) of an audio track; false for a data track or no track.
  virtual bool audioTrack(int track, int32_t& first, int32_t& end) const = 0;
  virtual bool readSectors(int16_t* out, int32_t sector, int count) = 0;
};

// Null when the machine has no CD drive or no disc is in it.
std::unique_ptr<CdDrive> openCdDrive();
