// A source of interleaved signed 16-bit frames (mono or stereo) at the source's own
// rate, read front to back and rewound to replay. Sample files are decoded through it
// once into memory; streams are read through it block by block.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

class PcmDecoder {
 public:
  virtual ~PcmDecoder() = default;
  virtual int rate() const = 0;
  virtual int channels() const = 0;  // 1 or 2
  // Up to maxFrames frames; 0 at the end of the data or on a decoding error.
  virtual int read(int16_t* out, int maxFrames) = 0;
  virtual bool rewind() = 0;
  // The number of frames the source announces (0 when unknown): a size to reserve,
  // not a promise.
  virtual int64_t framesHint() const { return 0; }
};

// A sound file decoded by FFmpeg (WAV, MP2, MP3, Ogg Vorbis, WMA/ASF and whatever else
// it recognises by content), mixed down to stereo when it has more channels. Null when
// the file cannot be read, holds no audio, or its first frames do not decode.
std::unique_ptr<PcmDecoder> openSoundFile(const std::string& path);
