// Sound files through FFmpeg: demux, decode, and convert to interleaved signed 16-bit
// at the file's own rate, mono or stereo. Files open through the shared local-only
// opener.
#include <cstring>
#include <vector>

#include "platform/ffmpeg_input.h"
#include "platform/pcm_decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace {

class FfmpegDecoder final : public PcmDecoder {
 public:
  ~FfmpegDecoder() override {
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    swr_free(&resampler_);
    avcodec_free_context(&codec_);
    avformat_close_input(&format_);
  }

  bool open(const std::string& path) {
    format_ = openLocalMedia(path);
    if (!format_) {
      return false;
    }
    const AVCodec* decoder = nullptr;
    stream_ = av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (stream_ < 0 || !decoder) {
      return false;
    }
    codec_ = avcodec_alloc_context3(decoder);
    if (!codec_ ||
        avcodec_parameters_to_context(codec_, format_->streams[stream_]->codecpar) < 0 ||
        avcodec_open2(codec_, decoder, nullptr) < 0) {
      return false;
    }
    if (codec_->sample_rate <= 0 || codec_->ch_layout.nb_channels <= 0) {
      return false;
    }
    channels_ = codec_->ch_layout.nb_channels == 1 ? 1 : 2;
    AVChannelLayout outLayout;
    av_channel_layout_default(&outLayout, channels_);
    AVChannelLayout inLayout;
    if (codec_->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
      av_channel_layout_default(&inLayout, codec_->ch_layout.nb_channels);
    } else {
      av_channel_layout_copy(&inLayout, &codec_->ch_layout);
    }
    const int made = swr_alloc_set_opts2(&resampler_, &outLayout, AV_SAMPLE_FMT_S16,
                                         codec_->sample_rate, &inLayout, codec_->sample_fmt,
                                         codec_->sample_rate, 0, nullptr);
    av_channel_layout_uninit(&inLayout);
    if (made < 0 || swr_init(resampler_) < 0) {
      return false;
    }
    packet_ = av_packet_alloc();
    frame_ = av_frame_alloc();
    if (!packet_ || !frame_) {
      return false;
    }
    // A file whose audio does not decode at all is not a sound file.
    return fill() && !pending_.empty();
  }

  int rate() const override { return codec_->sample_rate; }
  int64_t framesHint() const override {
    const AVStream* stream = format_->streams[stream_];
    if (stream->duration > 0) {
      return av_rescale_q(stream->duration, stream->time_base, AVRational{1, codec_->sample_rate});
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
    if (av_seek_frame(format_, stream_, 0, AVSEEK_FLAG_BACKWARD) < 0 &&
        avformat_seek_file(format_, -1, INT64_MIN, 0, 0, AVSEEK_FLAG_BYTE) < 0) {
      return false;
    }
    avcodec_flush_buffers(codec_);
    swr_convert(resampler_, nullptr, 0, nullptr, 0);
    pending_.clear();
    taken_ = 0;
    ended_ = false;
    return true;
  }

 private:
  // Decodes the next frame that yields samples into pending_; false at the end or on
  // an error (pending_ then empty).
  bool fill() {
    pending_.clear();
    taken_ = 0;
    while (!ended_) {
      const int received = avcodec_receive_frame(codec_, frame_);
      if (received == 0) {
        convert();
        av_frame_unref(frame_);
        if (!pending_.empty()) {
          return true;
        }
        continue;
      }
      if (received != AVERROR(EAGAIN)) {  // the end, or a decoding error
        ended_ = true;
        break;
      }
      const int got = av_read_frame(format_, packet_);
      if (got < 0) {
        avcodec_send_packet(codec_, nullptr);  // drain
        continue;
      }
      if (packet_->stream_index == stream_) {
        const int sent = avcodec_send_packet(codec_, packet_);
        if (sent < 0 && sent != AVERROR(EAGAIN) && sent != AVERROR_INVALIDDATA) {
          av_packet_unref(packet_);
          ended_ = true;
          break;
        }
      }
      av_packet_unref(packet_);
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

  AVFormatContext* format_ = nullptr;
  AVCodecContext* codec_ = nullptr;
  SwrContext* resampler_ = nullptr;
  AVPacket* packet_ = nullptr;
  AVFrame* frame_ = nullptr;
  int stream_ = -1;
  int channels_ = 2;
  bool ended_ = false;
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
