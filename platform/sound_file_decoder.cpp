// Sound files through FFmpeg: demux, decode, and convert to interleaved signed 16-bit
// at the file's own rate, mono or stereo, on the adapters' shared stream decoder.
#include <cstring>
#include <vector>

#include "platform/ffmpeg_input.h"
#include "platform/pcm_decoder.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace {

class FfmpegDecoder final : public PcmDecoder {
 public:
  ~FfmpegDecoder() override {
    av_frame_free(&frame_);
    swr_free(&resampler_);
  }

  bool open(const std::string& path) {
    if (!input_.open(path, AVMEDIA_TYPE_AUDIO)) {
      return false;
    }
    const AVCodecContext* codec = input_.codec();
    if (codec->sample_rate <= 0 || codec->ch_layout.nb_channels <= 0) {
      return false;
    }
    channels_ = codec->ch_layout.nb_channels == 1 ? 1 : 2;
    AVChannelLayout outLayout;
    av_channel_layout_default(&outLayout, channels_);
    AVChannelLayout inLayout;
    if (codec->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
      av_channel_layout_default(&inLayout, codec->ch_layout.nb_channels);
    } else {
      av_channel_layout_copy(&inLayout, &codec->ch_layout);
    }
    const int made = swr_alloc_set_opts2(&resampler_, &outLayout, AV_SAMPLE_FMT_S16,
                                         codec->sample_rate, &inLayout, codec->sample_fmt,
                                         codec->sample_rate, 0, nullptr);
    av_channel_layout_uninit(&inLayout);
    if (made < 0 || swr_init(resampler_) < 0) {
      return false;
    }
    frame_ = av_frame_alloc();
    if (!frame_) {
      return false;
    }
    // A file whose audio does not decode at all is not a sound file.
    return fill() && !pending_.empty();
  }

  int rate() const override { return input_.codec()->sample_rate; }
  int64_t framesHint() const override {
    const AVStream* stream = input_.stream();
    if (stream->duration > 0) {
      return av_rescale_q(stream->duration, stream->time_base, AVRational{1, rate()});
    }
    return 0;
  }
  int channels() const override { return channels_; }

  int read(int16_t* out, int maxFrames) override {
    int done = 0;
    while (done < maxFrames) {
      const size_t available = (pending_.size() - taken_) / size_t(channels_);
      if (available == 0) {
        if (!fill() || pending_.empty()) {
          break;
        }
        continue;
      }
      const int n = int(std::min<size_t>(available, size_t(maxFrames - done)));
      std::memcpy(out + size_t(done) * channels_, pending_.data() + taken_,
                  size_t(n) * channels_ * sizeof(int16_t));
      taken_ += size_t(n) * channels_;
      done += n;
    }
    return done;
  }

  bool rewind() override {
    if (!input_.rewind()) {
      return false;
    }
    swr_convert(resampler_, nullptr, 0, nullptr, 0);
    pending_.clear();
    taken_ = 0;
    return true;
  }

 private:
  // Decodes the next frame that yields samples into pending_; false at the end or on
  // an error (pending_ then empty).
  bool fill() {
    pending_.clear();
    taken_ = 0;
    while (input_.receive(frame_)) {
      convert();
      av_frame_unref(frame_);
      if (!pending_.empty()) {
        return true;
      }
    }
    return false;
  }

  void convert() {
    const int capacity = swr_get_out_samples(resampler_, frame_->nb_samples);
    if (capacity <= 0) {
      return;
    }
    pending_.resize(size_t(capacity) * channels_);
    uint8_t* outPlanes[1] = {reinterpret_cast<uint8_t*>(pending_.data())};
    const int made = swr_convert(resampler_, outPlanes, capacity,
                                 const_cast<const uint8_t**>(frame_->extended_data),
                                 frame_->nb_samples);
    pending_.resize(made > 0 ? size_t(made) * channels_ : 0);
  }

  MediaStreamDecoder input_;
  SwrContext* resampler_ = nullptr;
  AVFrame* frame_ = nullptr;
  int channels_ = 2;
  std::vector<int16_t> pending_;
  size_t taken_ = 0;
};

}  // namespace

std::unique_ptr<PcmDecoder> openSoundFile(const std::string& path) {
  auto decoder = std::make_unique<FfmpegDecoder>();
  if (!decoder->open(path)) {
    return nullptr;
  }
  return decoder;
}
