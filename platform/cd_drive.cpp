// CD audio through libcdio: the default drive's table of contents and raw audio
// sectors, read on the sound engine's decoding thread.
#include "platform/cd_drive.h"

#include <cdio/cdio.h>
#include <cdio/logging.h>

namespace {

void quietLog(cdio_log_level_t, const char*) {}

class LibcdioDrive final : public CdDrive {
 public:
  explicit LibcdioDrive(CdIo_t* cd) : cd_(cd) {}
  ~LibcdioDrive() override { cdio_destroy(cd_); }
  int firstTrack() const override { return cdio_get_first_track_num(cd_); }
  int lastTrack() const override {
    return cdio_get_first_track_num(cd_) + cdio_get_num_tracks(cd_) - 1;
  }
  bool audioTrack(int track, int32_t& first, int32_t& end) const override {
    if (track < firstTrack() || track > lastTrack() ||
        cdio_get_track_format(cd_, track_t(track)) != TRACK_FORMAT_AUDIO) {
      return false;
    }
    first = cdio_get_track_lsn(cd_, track_t(track));
    const lsn_t last = cdio_get_track_last_lsn(cd_, track_t(track));
    if (first == CDIO_INVALID_LSN || last == CDIO_INVALID_LSN || last < first) {
      return false;
    }
    end = last + 1;
    return true;
  }
  bool readSectors(int16_t* out, int32_t sector, int count) override {
    return cdio_read_audio_sectors(cd_, out, sector, uint32_t(count)) == DRIVER_OP_SUCCESS;
  }

 private:
  CdIo_t* cd_;
};

}  // namespace

std::unique_ptr<CdDrive> openCdDrive() {
  cdio_log_set_handler(quietLog);
  CdIo_t* cd = cdio_open(nullptr, DRIVER_DEVICE);
  if (!cd) {
    return nullptr;
  }
  if (cdio_get_num_tracks(cd) == CDIO_INVALID_TRACK || cdio_get_num_tracks(cd) == 0) {
    cdio_destroy(cd);
    return nullptr;
  }
  return std::make_unique<LibcdioDrive>(cd);
}
