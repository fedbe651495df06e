// Movie files: the video track demuxed and decoded frame by frame, each frame with its
// presentation time, and converted into pixels of a surface format. Plain header: the
// FFmpeg types stay in the adapter.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/surface.h"

class MovieDecoder {
public:
    virtual ~MovieDecoder() = default;

    // Opens a file (only local files: a name never reaches another protocol) and decodes
    // its first frame. Null when the file cannot be read, holds no video track, or its
    // first frame does not decode (a truncated or damaged file).
    static std::unique_ptr<MovieDecoder> open(const std::string& path);

    virtual int32_t width() const = 0;
    virtual int32_t height() const = 0;
    // Whether the file holds a sound track as well.
    virtual bool hasSound() const = 0;

    // The current frame's presentation time, in milliseconds from the movie's start.
    virtual int64_t frameTime() const = 0;
    // The next frame's presentation time (decoding it ahead); false when there is none.
    virtual bool nextFrameTime(int64_t* time) = 0;
    // Makes the next frame current; false at the end of the video or on an error that
    // ends it (a damaged or truncated stream).
    virtual bool advance() = 0;
    // Converts the current frame into `pixels` (width x height of `format`, rows `pitch`
    // bytes apart). False when the format is not one the converter writes.
    virtual bool convert(uint8_t* pixels, int32_t pitch, const SurfaceFormat& format) = 0;
};
