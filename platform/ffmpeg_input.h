// What the FFmpeg adapters share: a file opened through the local-file protocol alone
// (a program's file name never reaches the network or another protocol), with the
// library's log kept quiet (damaged files are answered with 0, not messages), its best
// stream of one kind with a decoder, and the demux-and-decode loop. Seen only by the
// adapters in this folder.
#pragma once

#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

class MediaStreamDecoder {
 public:
  MediaStreamDecoder() = default;
  ~MediaStreamDecoder();
  MediaStreamDecoder(const MediaStreamDecoder&) = delete;
  MediaStreamDecoder& operator=(const MediaStreamDecoder&) = delete;

  // False when the file cannot be opened or probed, or has no stream of `kind` that a
  // decoder opens.
  bool open(const std::string& path, AVMediaType kind);

  AVFormatContext* format() const { return format_; }
  AVCodecContext* codec() const { return codec_; }
  const AVStream* stream() const { return format_->streams[stream_]; }
  // Whether the file also has a stream of `kind` that a decoder exists for.
  bool hasStream(AVMediaType kind) const;

  // The stream's next decoded frame into `frame`; false at the end of the stream or on
  // an error that stops decoding. Packets the decoder rejects as damaged are skipped.
  bool receive(AVFrame* frame);
  // Back to the stream's start; false when the file cannot seek.
  bool rewind();

 private:
  AVFormatContext* format_ = nullptr;
  AVCodecContext* codec_ = nullptr;
  AVPacket* packet_ = nullptr;
  int stream_ = -1;
  bool ended_ = false;
};
