// Tracker modules through libopenmpt, rendered in memory and set to repeat for ever.
#include <libopenmpt/libopenmpt.h>

#include "platform/song_renderer.h"

namespace {

class TrackerSong final : public SongRenderer {
 public:
  TrackerSong(openmpt_module* module, int rate) : module_(module), rate_(rate) {}
  ~TrackerSong() override { openmpt_module_destroy(module_); }
  int render(int16_t* out, int frames) override {
    return int(openmpt_module_read_interleaved_stereo(module_, rate_, size_t(frames), out));
  }
  void restart() override { openmpt_module_set_position_seconds(module_, 0.0); }

 private:
  openmpt_module* module_;
  int rate_;
};

}  // namespace

std::unique_ptr<SongRenderer> loadTrackerSong(const std::vector<uint8_t>& bytes, int rate) {
  if (bytes.empty()) {
    return nullptr;
  }
  openmpt_module* module = openmpt_module_create_from_memory2(
      bytes.data(), bytes.size(), openmpt_log_func_silent, nullptr, openmpt_error_func_ignore,
      nullptr, nullptr, nullptr, nullptr);
  if (!module) {
    return nullptr;
  }
  openmpt_module_set_repeat_count(module, -1);
  return std::make_unique<TrackerSong>(module, rate);
}
