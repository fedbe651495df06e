// Movies through FFmpeg: the best video stream of the file, decoded one frame ahead so
// that a late reader can skip to the frame now due, timestamps in milliseconds from the
// stream's start, and swscale conversion into the picture's pixel format (scaling too,
// should a stream change its frame size midway).
#include "platform/movie_decoder.h"

#include <algorithm>
#include <utility>

#include "platform/ffmpeg_input.h"

extern "C" {
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

namespace {

// Frame time when a frame carries none and the stream gives no rate (25 frames a second).
constexpr int64_t kDefaultFrameMs = 40;
// The longest wait between two frames that a stream's timestamps may ask for.
constexpr int64_t kLongestGapMs = 10000;

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
    }

    bool open(const std::string& path) {
        if (!input_.open(path, AVMEDIA_TYPE_VIDEO)) {
            return false;
        }
        hasSound_ = input_.hasStream(AVMEDIA_TYPE_AUDIO);
        AVStream* const stream = const_cast<AVStream*>(input_.stream());
        timeBase_ = stream->time_base;
        const AVRational rate = av_guess_frame_rate(input_.format(), stream, nullptr);
        if (rate.num > 0 && rate.den > 0) {
            frameMs_ = std::max<int64_t>(1, av_rescale_q(1, av_inv_q(rate), AVRational{1, 1000}));
        }
        current_ = av_frame_alloc();
        ahead_ = av_frame_alloc();
        if (!current_ || !ahead_ || !decodeInto(current_, &currentTime_)) {
            return false;
        }
        width_ = current_->width;
        height_ = current_->height;
        return true;
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
    // Decodes the next video frame that has a picture into `frame`, with its time;
    // false at the end of the stream or on an error that stops decoding.
    bool decodeInto(AVFrame* frame, int64_t* time) {
        av_frame_unref(frame);
        while (input_.receive(frame)) {
            if (frame->width > 0 && frame->height > 0) {
                *time = timeOf(frame);
                return true;
            }
            av_frame_unref(frame);
        }
        return false;
    }

    // Milliseconds from the first frame, which is shown at once. A frame without a
    // timestamp, or one whose timestamp falls back or leaps far ahead (a damaged or
    // spliced stream), follows the one before by the spacing of the frames before it,
    // and later frames keep their spacing from it: a stream can neither stall its reader
    // for hours nor rush it through its frames.
    int64_t timeOf(const AVFrame* frame) {
        const int64_t pts = frame->best_effort_timestamp;
        const int64_t following = lastTime_ < 0 ? 0 : lastTime_ + (lastStep_ > 0 ? lastStep_ : frameMs_);
        int64_t ms = following;
        if (pts != AV_NOPTS_VALUE) {
            if (startPts_ == AV_NOPTS_VALUE) {
                startPts_ = pts;
            }
            int64_t sincePts = 0;
            const bool wild = __builtin_sub_overflow(pts, startPts_, &sincePts) ||
                              __builtin_add_overflow(av_rescale_q(sincePts, timeBase_, AVRational{1, 1000}), shift_,
                                                     &ms);
            if (wild || ms < std::max<int64_t>(lastTime_, 0) ||
                (lastTime_ >= 0 && ms > lastTime_ + kLongestGapMs)) {
                shift_ = wild ? 0 : shift_ + (following - ms);
                ms = following;
            }
        }
        if (lastTime_ >= 0) {
            lastStep_ = ms - lastTime_;
        }
        lastTime_ = ms;
        return ms;
    }

    MediaStreamDecoder input_;
    AVFrame* current_ = nullptr;
    AVFrame* ahead_ = nullptr;
    SwsContext* scaler_ = nullptr;
    int32_t width_ = 0;
    int32_t height_ = 0;
    bool hasSound_ = false;
    bool aheadReady_ = false;
    AVRational timeBase_{1, 1000};
    int64_t startPts_ = AV_NOPTS_VALUE;
    int64_t frameMs_ = kDefaultFrameMs;
    int64_t lastTime_ = -1;
    int64_t lastStep_ = 0;  // the spacing of the last two frames
    int64_t shift_ = 0;  // what discontinuities added to the stream's own times
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
