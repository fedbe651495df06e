// sysMovie: opening a movie, pacing its frames by presentation time, and drawing them.
#include "graphics/sys_movie.h"

#include <algorithm>

#include "basic/ks_error.h"
#include "graphics/sys_font.h"
#include "graphics/sys_graphics.h"
#include "host/sys_runtime.h"
#include "platform/clock.h"
#include "platform/movie_decoder.h"

namespace {

// How long one wait for an early frame sleeps before the caller hears from it again.
constexpr int64_t kWaitSliceMs = 10;

}  // namespace

std::unique_ptr<sysMovie> sysMovie::open(const std::string& path, sysGraphics& display) {
    std::unique_ptr<MovieDecoder> decoder = MovieDecoder::open(path);
    if (!decoder) {
        return nullptr;
    }
    std::unique_ptr<sysMovie> movie(new sysMovie());
    movie->picture_ = sysCanvas::create(decoder->width(), decoder->height(), CanvasPlaced,
                                        display.surfaceFormat(), &display, display.defaultFont());
    if (!movie->picture_) {
        return nullptr;
    }
    movie->frame_ = {0, 0, decoder->width(), decoder->height()};
    if (decoder->hasSound() && currentRuntime && currentRuntime->audio) {
        movie->soundTrack_ = currentRuntime->audio->playSoundTrack(path);
    }
    movie->decoder_ = std::move(decoder);
    movie->started_ = monotonicMillis();
    return movie;
}

// The audio manager may have closed before the display (it closes first at the end of a
// run), taking the track with it; it ignores a number it no longer knows.
sysMovie::~sysMovie() {
    if (soundTrack_ != 0 && currentRuntime && currentRuntime->audio) {
        currentRuntime->audio->closeSoundTrack(soundTrack_);
    }
}

int64_t sysMovie::elapsedMs() const {
    return int64_t(uint32_t(monotonicMillis() - started_));
}

bool sysMovie::reachDueFrame(const std::function<void()>& whileWaiting) {
    if (currentShown_ && !decoder_->advance()) {
        return false;
    }
    if (!paced_) {
        return true;
    }
    int64_t next = 0;
    while (decoder_->nextFrameTime(&next) && next <= elapsedMs()) {
        decoder_->advance();
    }
    for (int64_t early = decoder_->frameTime() - elapsedMs(); early > 0;
         early = decoder_->frameTime() - elapsedMs()) {
        sleepMillis(int(std::min(early, kWaitSliceMs)));
        if (whileWaiting) {
            whileWaiting();
        }
    }
    return true;
}

bool sysMovie::draw(sysCanvas& canvas, int32_t x, int32_t y, int32_t w, int32_t h,
                    const std::function<void()>& whileWaiting) {
    if (!playing_) {
        return false;
    }
    if (!reachDueFrame(whileWaiting)) {
        playing_ = false;
        return false;
    }
    currentShown_ = true;
    Surface& picture = picture_->surface();
    if (!decoder_->convert(picture.pixels(), picture.pitch(), picture.format())) {
        return true;  // a failed copy is ignored; the movie plays on
    }
    picture_->markModified(frame_);
    const SurfaceRect drawn = canvas.surface().stretchCopyClipped(x, y, int64_t(x) + w, int64_t(y) + h, picture,
                                                                  frame_);
    if (!drawn.empty()) {
        canvas.markModified(drawn);
    }
    return true;
}
