// Test movies through the ffmpeg command line: raw RGB frames written here, encoded by
// ffmpeg in the requested container.
#include "tests/graphics/movie_files.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tests/programs/process_runner.h"

const MovieFormat kAviMpeg4{"AviMpeg4", ".avi", "-c:v mpeg4 -q:v 2", "-c:a pcm_s16le"};
const MovieFormat kMp4H264{"Mp4H264", ".mp4", "-c:v libx264 -preset ultrafast -qp 8 -pix_fmt yuv420p", "-c:a aac"};
const MovieFormat kWebmVp8{"WebmVp8", ".webm", "-c:v libvpx -b:v 2M -crf 4", "-c:a libvorbis"};
const MovieFormat kOggTheora{"OggTheora", ".ogg", "-c:v libtheora -q:v 10", "-c:a libvorbis"};

namespace {

std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string word; in >> word;) {
        out.push_back(word);
    }
    return out;
}

// The ffmpeg command line found on PATH; "" when there is none.
std::string ffmpegPath() {
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path ? path : "/usr/bin:/bin");
    for (std::string dir; std::getline(dirs, dir, ':');) {
        const std::string candidate = (dir.empty() ? "." : dir) + "/ffmpeg";
        if (access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return "";
}

bool runFfmpeg(const std::vector<std::string>& arguments, std::string* error) {
    const std::string program = ffmpegPath();
    if (program.empty()) {
        *error = "the ffmpeg command line is not installed (tools/install-deps.sh installs it)";
        return false;
    }
    std::vector<std::string> argv = {program, "-hide_banner", "-loglevel", "error", "-nostdin", "-y"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const ProcessResult result = runProcess(argv);
    if (result.exitCode != 0) {
        *error = "ffmpeg failed (exit " + std::to_string(result.exitCode) + "): " + result.err;
        return false;
    }
    return true;
}

}  // namespace

namespace {

bool encode(const std::string& path, const MovieFormat& format, const std::vector<MovieFrame>& frames, int width,
            int height, int fps, bool withSound, const std::string& options, std::string* error) {
    const std::string raw = path + ".rgb";
    std::FILE* out = std::fopen(raw.c_str(), "wb");
    if (!out) {
        *error = "cannot write " + raw;
        return false;
    }
    std::vector<uint8_t> row(size_t(width) * 3);
    for (const MovieFrame& frame : frames) {
        for (int x = 0; x < width; ++x) {
            const uint32_t c = x < width / 2 ? frame.left : frame.right;
            row[size_t(x) * 3] = uint8_t(c >> 16);
            row[size_t(x) * 3 + 1] = uint8_t(c >> 8);
            row[size_t(x) * 3 + 2] = uint8_t(c);
        }
        for (int y = 0; y < height; ++y) {
            std::fwrite(row.data(), 1, row.size(), out);
        }
    }
    std::fclose(out);
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    std::vector<std::string> arguments = {"-f", "rawvideo", "-pix_fmt", "rgb24", "-s", size,
                                          "-r", std::to_string(fps), "-i", raw};
    const bool sound = withSound && format.sound != nullptr;
    if (sound) {
        const double seconds = double(frames.size()) / fps;
        arguments.insert(arguments.end(), {"-f", "lavfi", "-i",
                                           "sine=frequency=440:sample_rate=44100:duration=" + std::to_string(seconds)});
    }
    for (const std::string& word : words(options)) {
        arguments.push_back(word);
    }
    for (const std::string& word : words(format.video)) {
        arguments.push_back(word);
    }
    if (sound) {
        for (const std::string& word : words(format.sound)) {
            arguments.push_back(word);
        }
    }
    arguments.push_back(path);
    const bool made = runFfmpeg(arguments, error);
    std::remove(raw.c_str());
    return made;
}

}  // namespace

bool makeMovie(const std::string& path, const MovieFormat& format, const std::vector<MovieFrame>& frames,
               int width, int height, int fps, bool withSound, std::string* error) {
    return encode(path, format, frames, width, height, fps, withSound, "", error);
}

bool makeMovieWith(const std::string& path, const MovieFormat& format, const std::vector<MovieFrame>& frames,
                   int width, int height, int fps, const std::string& options, std::string* error) {
    return encode(path, format, frames, width, height, fps, false, options, error);
}

bool concatenate(const std::vector<std::string>& parts, const std::string& to) {
    std::ofstream out(to, std::ios::binary);
    for (const std::string& part : parts) {
        std::ifstream in(part, std::ios::binary);
        if (!in || !(out << in.rdbuf())) {
            return false;
        }
    }
    return bool(out);
}

bool makeSoundOnly(const std::string& path, std::string* error) {
    return runFfmpeg({"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=22050:duration=1", path}, error);
}

bool copyTruncated(const std::string& from, const std::string& to, long bytes) {
    std::ifstream in(from, std::ios::binary);
    std::ofstream out(to, std::ios::binary);
    if (!in || !out) {
        return false;
    }
    std::vector<char> head(size_t(std::max(bytes, 0L)));
    in.read(head.data(), std::streamsize(head.size()));
    out.write(head.data(), in.gcount());
    return bool(out);
}

long fileSize(const std::string& path) {
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) {
        return -1;
    }
    std::fseek(in, 0, SEEK_END);
    const long size = std::ftell(in);
    std::fclose(in);
    return size;
}
