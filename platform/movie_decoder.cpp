// Movies through FFmpeg: the best video stream of the file, decoded one frame ahead so
// that a late reader can skip to the frame now due, timestamps in milliseconds from the
// stream's start, and swscale conversion into the picture's pixel format (scaling too,
// should a stream change its frame size midway).
#include "platform/movie_decoder.h"

#include <algorithm>
#include <utility>

#include "platform/ffmpeg_input.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

namespace {

// Frame time when a frame carries none and the stream gives no rate (25 frames a second).
constexpr int64_t kDefaultFrameMs = 40;

// The FFmpeg layout of a surface format's pixels in memory, or AV_PIX_FMT_NONE.
AVPixelFormat pixelFormatOf(const SurfaceFormat& format) {
    if (format == SurfaceFormat::xrgb8888()) {
        return AV_PIX_FMT_BGR0;  // little-endian X8R8G8B8: blue, green, red, padding
    }
    if (format == SurfaceFormat::rgb888()) {
        return AV_PIX_FMT_BGR24;
    }
    if (format == SurfaceFormat::rgb565()) {
        return AV_PIX_FMT_RGB565;
    }
    if (format == SurfaceFormat::rgb555()) {
        return AV_PIX_FMT_RGB555;
    }
    return AV_PIX_FMT_NONE;
}

class FfmpegMovie final : public MovieDecoder {
public:
    ~FfmpegMovie() override {
        sws_freeContext(scaler_);
        av_frame_free(&current_);
        av_frame_free(&ahead_);
        av_packet_free(&packet_);
        avcodec_free_context(&codec_);
        avformat_close_input(&format_);
    }

    bool open(const std::string& path) {
        format_ = openLocalMedia(path);
        if (!format_) {
            return false;
        }
        const AVCodec* decoder = nullptr;
        stream_ = av_find_best_stream(format_, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
        if (stream_ < 0 || !decoder) {
            return false;
        }
        const AVStream* stream = format_->streams[stream_];
        codec_ = avcodec_alloc_context3(decoder);
        if (!codec_ || avcodec_parameters_to_context(codec_, stream->codecpar) < 0 ||
            avcodec_open2(codec_, decoder, nullptr) < 0) {
            return false;
        }
        const AVCodec* soundDecoder = nullptr;
        hasSound_ = av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, stream_, &soundDecoder, 0) >= 0 &&
                    soundDecoder != nullptr;
        timeBase_ = stream->time_base;
        startPts_ = stream->start_time;
        const AVRational rate = av_guess_frame_rate(format_, const_cast<AVStream*>(stream), nullptr);
        if (rate.num > 0 && rate.den > 0) {
            frameMs_ = std::max<int64_t>(1, av_rescale_q(1, av_inv_q(rate), AVRational{1, 1000}));
        }
        packet_ = av_packet_alloc();
        current_ = av_frame_alloc();
        ahead_ = av_frame_alloc();
        if (!packet_ || !current_ || !ahead_ || !decodeInto(current_, &currentTime_)) {
            return false;
        }
        width_ = current_->width;
        height_ = current_->height;
        return width_ > 0 && height_ > 0;
    }

    int32_t width() const override { return width_; }
    int32_t height() const override { return height_; }
    bool hasSound() const override { return hasSound_; }
    int64_t frameTime() const override { return currentTime_; }

    bool nextFrameTime(int64_t* time) override {
        if (!aheadReady_) {
            aheadReady_ = decodeInto(ahead_, &aheadTime_);
        }
        if (aheadReady_) {
            *time = aheadTime_;
        }
        return aheadReady_;
    }

    bool advance() override {
        int64_t unused;
        if (!nextFrameTime(&unused)) {
            return false;
        }
        std::swap(current_, ahead_);
        currentTime_ = aheadTime_;
        aheadReady_ = false;
        return true;
    }

    bool convert(uint8_t* pixels, int32_t pitch, const SurfaceFormat& format) override {
        const AVPixelFormat target = pixelFormatOf(format);
        if (target == AV_PIX_FMT_NONE) {
            return false;
        }
        scaler_ = sws_getCachedContext(scaler_, current_->width, current_->height, AVPixelFormat(current_->format),
                                       width_, height_, target, SWS_BILINEAR, nullptr, nullptr, nullptr);
        if (!scaler_) {
            return false;
        }
        uint8_t* planes[4] = {pixels, nullptr, nullptr, nullptr};
        int pitches[4] = {pitch, 0, 0, 0};
        return sws_scale(scaler_, current_->data, current_->linesize, 0, current_->height, planes, pitches) > 0;
    }

private:
    // Decodes the next video frame into `frame` with its time; false at the end of the
    // stream or on an error that stops decoding. Damaged packets are skipped.
    bool decodeInto(AVFrame* frame, int64_t* time) {
        av_frame_unref(frame);
        while (!ended_) {
            const int received = avcodec_receive_frame(codec_, frame);
            if (received == 0) {
                if (frame->width <= 0 || frame->height <= 0) {
                    av_frame_unref(frame);
                    continue;
                }
                *time = timeOf(frame);
                return true;
            }
            if (received != AVERROR(EAGAIN)) {
                ended_ = true;
                break;
            }
            if (av_read_frame(format_, packet_) < 0) {
                avcodec_send_packet(codec_, nullptr);  // drain the frames still held
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

    // Milliseconds from the stream's start, never going back; a frame without a
    // timestamp comes one frame time after the one before.
    int64_t timeOf(const AVFrame* frame) {
        const int64_t pts = frame->best_effort_timestamp;
        int64_t ms = lastTime_ < 0 ? 0 : lastTime_ + frameMs_;
        if (pts != AV_NOPTS_VALUE) {
            if (startPts_ == AV_NOPTS_VALUE) {
                startPts_ = pts;
            }
            ms = av_rescale_q(pts - startPts_, timeBase_, AVRational{1, 1000});
        }
        ms = std::max<int64_t>(ms, std::max<int64_t>(lastTime_, 0));
        lastTime_ = ms;
        return ms;
    }

    AVFormatContext* format_ = nullptr;
    AVCodecContext* codec_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVFrame* current_ = nullptr;
    AVFrame* ahead_ = nullptr;
    SwsContext* scaler_ = nullptr;
    int stream_ = -1;
    int32_t width_ = 0;
    int32_t height_ = 0;
    bool hasSound_ = false;
    bool ended_ = false;
    bool aheadReady_ = false;
    AVRational timeBase_{1, 1000};
    int64_t startPts_ = AV_NOPTS_VALUE;
    int64_t frameMs_ = kDefaultFrameMs;
    int64_t lastTime_ = -1;
    int64_t currentTime_ = 0;
    int64_t aheadTime_ = 0;
};

}  // namespace

std::unique_ptr<MovieDecoder> MovieDecoder::open(const std::string& path) {
    auto movie = std::make_unique<FfmpegMovie>();
    if (!movie->open(path)) {
        return nullptr;
    }
    return movie;
}
