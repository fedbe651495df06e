// sysMovie: an open movie of the display. Frames are decoded into a picture canvas of
// the video's size and stretch-copied from it onto a buffer, each when its presentation
// time comes; the sound track plays through the audio manager from the moment it opens.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "graphics/canvas.h"

class MovieDecoder;
class sysGraphics;

class sysMovie {
public:
    // The movie of a file (already resolved), its picture in the display's format; null
    // when the file holds no video that decodes or the picture cannot be made.
    static std::unique_ptr<sysMovie> open(const std::string& path, sysGraphics& display);
    // Stops the sound track and frees the picture.
    ~sysMovie();
    sysMovie(const sysMovie&) = delete;
    sysMovie& operator=(const sysMovie&) = delete;

    int32_t width() const { return frame_.right; }
    int32_t height() const { return frame_.bottom; }
    bool playing() const { return playing_; }
    // Paced (as opened), each frame waits for its time and late frames are skipped;
    // unpaced, every draw shows the next frame at once (to measure decoding and drawing).
    void setPaced(bool paced) { paced_ = paced; }
    // The audio manager's number for the sound track; 0 when none plays.
    uint32_t soundTrack() const { return soundTrack_; }

    // Shows the frame now due: waits for it when it is early (calling `whileWaiting`
    // every few milliseconds, which may throw to end the run), skips the frames already
    // overtaken when the caller is late, and stretch-copies it onto the canvas's surface
    // rectangle (x, y, x + w, y + h), clipped to the surface. Once the video has ended,
    // draws nothing and answers false from then on.
    bool draw(sysCanvas& canvas, int32_t x, int32_t y, int32_t w, int32_t h,
              const std::function<void()>& whileWaiting);

private:
    sysMovie() = default;
    // Makes the frame due now current; false when the video has ended.
    bool reachDueFrame(const std::function<void()>& whileWaiting);
    int64_t elapsedMs() const;

    std::unique_ptr<MovieDecoder> decoder_;
    std::unique_ptr<sysCanvas> picture_;
    SurfaceRect frame_;
    uint32_t started_ = 0;     // the clock when the movie opened
    uint32_t soundTrack_ = 0;  // 0: none
    bool playing_ = true;
    bool currentShown_ = false;
    bool paced_ = true;
};
