// MIDI songs through FluidSynth: one synthesiser per song with the installed General
// MIDI sound font, driven by the frames rendered (no audio driver, no timer thread).
#include <fluidsynth.h>

#include <cstring>
#include <string>
#include <unistd.h>

#include "platform/song_renderer.h"

namespace {

const char* const kSoundFonts[] = {
    "/usr/share/sounds/sf2/default-GM.sf2",
    "/usr/share/sounds/sf2/TimGM6mb.sf2",
    "/usr/share/sounds/sf2/FluidR3_GM.sf2",
};

const char* installedSoundFont() {
  for (const char* path : kSoundFonts) {
    if (access(path, R_OK) == 0) {
      return path;
    }
  }
  return nullptr;
}

// Once, before the first synthesiser: the log functions are process-wide.
void silenceFluidSynthLog() {
  static const bool done = [] {
    for (int level = 0; level < LAST_LOG_LEVEL; ++level) {
      fluid_set_log_function(level, nullptr, nullptr);
    }
    return true;
  }();
  (void)done;
}

class MidiSong final : public SongRenderer {
 public:
  MidiSong(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
  ~MidiSong() override {
    if (player_) {
      fluid_player_stop(player_);
      delete_fluid_player(player_);
    }
    if (synth_) {
      delete_fluid_synth(synth_);
    }
    if (settings_) {
      delete_fluid_settings(settings_);
    }
  }

  bool open(const char* soundFont, int rate) {
    settings_ = new_fluid_settings();
    if (!settings_) {
      return false;
    }
    fluid_settings_setnum(settings_, "synth.sample-rate", rate);
    fluid_settings_setint(settings_, "synth.threadsafe-api", 0);
    fluid_settings_setstr(settings_, "player.timing-source", "sample");
    fluid_settings_setnum(settings_, "synth.gain", 0.6);
    synth_ = new_fluid_synth(settings_);
    if (!synth_ || fluid_synth_sfload(synth_, soundFont, 1) == FLUID_FAILED) {
      return false;
    }
    return startPlayer();
  }

  int render(int16_t* out, int frames) override {
    if (fluid_player_get_status(player_) != FLUID_PLAYER_PLAYING) {
      return 0;
    }
    fluid_synth_write_s16(synth_, frames, out, 0, 2, out, 1, 2);
    return frames;
  }

  void restart() override {
    fluid_player_stop(player_);
    delete_fluid_player(player_);
    player_ = nullptr;
    fluid_synth_system_reset(synth_);
    startPlayer();
  }

 private:
  bool startPlayer() {
    player_ = new_fluid_player(synth_);
    if (!player_ || fluid_player_add_mem(player_, bytes_.data(), bytes_.size()) != FLUID_OK) {
      return false;
    }
    fluid_player_set_loop(player_, -1);
    return fluid_player_play(player_) == FLUID_OK;
  }

  std::vector<uint8_t> bytes_;
  fluid_settings_t* settings_ = nullptr;
  fluid_synth_t* synth_ = nullptr;
  fluid_player_t* player_ = nullptr;
};

}  // namespace

bool looksLikeMidi(const std::vector<uint8_t>& bytes) {
  return bytes.size() >= 14 && std::memcmp(bytes.data(), "MThd", 4) == 0;
}

namespace {

uint32_t bigEndian32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// The header and every track chunk it announces are wholly inside the bytes: the
// player parses the file only once it starts, too late to refuse a broken one.
bool midiChunksComplete(const std::vector<uint8_t>& bytes) {
  const uint32_t headerLength = bigEndian32(&bytes[4]);
  if (headerLength < 6 || headerLength > bytes.size() - 8) {
    return false;
  }
  const unsigned tracks = unsigned(bytes[10]) << 8 | bytes[11];
  size_t at = 8 + headerLength;
  unsigned found = 0;
  while (found < tracks) {
    if (bytes.size() - at < 8) {
      return false;
    }
    const uint32_t length = bigEndian32(&bytes[at + 4]);
    if (length > bytes.size() - at - 8) {
      return false;
    }
    if (std::memcmp(&bytes[at], "MTrk", 4) == 0) {
      ++found;
    }
    at += 8 + length;
  }
  return tracks > 0;
}

}  // namespace

std::unique_ptr<SongRenderer> loadMidiSong(const std::vector<uint8_t>& bytes, int rate) {
  silenceFluidSynthLog();
  const char* soundFont = installedSoundFont();
  if (!soundFont || !looksLikeMidi(bytes) || !midiChunksComplete(bytes)) {
    return nullptr;
  }
  auto song = std::make_unique<MidiSong>(bytes);
  if (!song->open(soundFont, rate)) {
    return nullptr;
  }
  return song;
}
