// Movies made for tests with the ffmpeg command line: frames of known colours (each
// frame a left and a right half) at a few frames a second, in a chosen container and
// codec, with or without a sine-tone sound track.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One frame: its left half and its right half, as 0xRRGGBB.
struct MovieFrame {
    uint32_t left;
    uint32_t right;
};

// A container with its video (and sound) codec arguments for ffmpeg.
struct MovieFormat {
    const char* name;       // for test names
    const char* extension;  // ".avi"
    const char* video;      // "-c:v mpeg4 -q:v 2"
    const char* sound;      // "-c:a pcm_s16le"; null: the container gets no sound
};

extern const MovieFormat kAviMpeg4;  // AVI, MPEG-4 part 2, PCM sound
extern const MovieFormat kMp4H264;   // MP4, H.264, AAC sound
extern const MovieFormat kWebmVp8;   // WebM, VP8, Vorbis sound
extern const MovieFormat kOggTheora; // Ogg, Theora, Vorbis sound

// Writes `frames` (width x height each, `fps` a second) to `path`; the sound track, a
// 440 Hz tone as long as the video, when `withSound` and the format has one. False (with
// ffmpeg's message in `error`) when ffmpeg fails or is missing.
bool makeMovie(const std::string& path, const MovieFormat& format, const std::vector<MovieFrame>& frames,
               int width, int height, int fps, bool withSound, std::string* error);

// As makeMovie without sound, with extra ffmpeg output options (for example
// "-output_ts_offset 3600" to start the timestamps an hour in).
bool makeMovieWith(const std::string& path, const MovieFormat& format, const std::vector<MovieFrame>& frames,
                   int width, int height, int fps, const std::string& options, std::string* error);
// The files one after the other in a new file (MPEG transport streams splice this way).
bool concatenate(const std::vector<std::string>& parts, const std::string& to);

// A sound file without any video: a WAV of a one-second tone.
bool makeSoundOnly(const std::string& path, std::string* error);

// The first `bytes` bytes of a file copied to another.
bool copyTruncated(const std::string& from, const std::string& to, long bytes);
long fileSize(const std::string& path);
