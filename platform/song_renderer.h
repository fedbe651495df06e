// Songs played by a synthesiser rather than decoded: tracker modules (MOD, S3M, XM, IT)
// through libopenmpt and MIDI files through FluidSynth with the General MIDI sound font.
// Both render interleaved stereo signed 16-bit frames at a rate chosen at load.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

class SongRenderer {
 public:
  virtual ~SongRenderer() = default;
  // Up to `frames` frames; fewer only at the song's end. Songs repeat from the start
  // for ever, so that only happens to a song that cannot loop.
  virtual int render(int16_t* out, int frames) = 0;
  virtual void restart() = 0;
};

// Null when the bytes are not a module libopenmpt can play.
std::unique_ptr<SongRenderer> loadTrackerSong(const std::vector<uint8_t>& bytes, int rate);

// Whether the bytes start like a Standard MIDI File.
bool looksLikeMidi(const std::vector<uint8_t>& bytes);

// Null when the bytes are not a playable MIDI file or no General MIDI sound font is
// installed.
std::unique_ptr<SongRenderer> loadMidiSong(const std::vector<uint8_t>& bytes, int rate);
