// Opening and decoding media streams for the FFmpeg adapters.
#include "platform/ffmpeg_input.h"

MediaStreamDecoder::~MediaStreamDecoder() {
  av_packet_free(&packet_);
  avcodec_free_context(&codec_);
  avformat_close_input(&format_);
}

bool MediaStreamDecoder::open(const std::string& path, AVMediaType kind) {
  static const bool quiet = [] {
    av_log_set_level(AV_LOG_QUIET);
    return true;
  }();
  (void)quiet;
  AVDictionary* options = nullptr;
  av_dict_set(&options, "protocol_whitelist", "file", 0);
  const std::string url = "file:" + path;
  const int opened = avformat_open_input(&format_, url.c_str(), nullptr, &options);
  av_dict_free(&options);
  if (opened < 0 || avformat_find_stream_info(format_, nullptr) < 0) {
    return false;
  }
  const AVCodec* decoder = nullptr;
  stream_ = av_find_best_stream(format_, kind, -1, -1, &decoder, 0);
  if (stream_ < 0 || !decoder) {
    return false;
  }
  codec_ = avcodec_alloc_context3(decoder);
  packet_ = av_packet_alloc();
  return codec_ && packet_ && avcodec_parameters_to_context(codec_, format_->streams[stream_]->codecpar) >= 0 &&
         avcodec_open2(codec_, decoder, nullptr) >= 0;
}

bool MediaStreamDecoder::hasStream(AVMediaType kind) const {
  const AVCodec* decoder = nullptr;
  return av_find_best_stream(format_, kind, -1, stream_, &decoder, 0) >= 0 && decoder != nullptr;
}

bool MediaStreamDecoder::receive(AVFrame* frame) {
  while (!ended_) {
    const int received = avcodec_receive_frame(codec_, frame);
    if (received == 0) {
      return true;
    }
    if (received != AVERROR(EAGAIN)) {  // the end, or a decoding error
      ended_ = true;
      break;
    }
    if (av_read_frame(format_, packet_) < 0) {
      avcodec_send_packet(codec_, nullptr);  // drain the frames the decoder still holds
      continue;
    }
    if (packet_->stream_index == stream_) {
      const int sent = avcodec_send_packet(codec_, packet_);
      if (sent < 0 && sent != AVERROR(EAGAIN) && sent != AVERROR_INVALIDDATA) {
        ended_ = true;
      }
    }
    av_packet_unref(packet_);
  }
  return false;
}

bool MediaStreamDecoder::rewind() {
  if (av_seek_frame(format_, stream_, 0, AVSEEK_FLAG_BACKWARD) < 0 &&
      avformat_seek_file(format_, -1, INT64_MIN, 0, 0, AVSEEK_FLAG_BYTE) < 0) {
    return false;
  }
  avcodec_flush_buffers(codec_);
  ended_ = false;
  return true;
}
