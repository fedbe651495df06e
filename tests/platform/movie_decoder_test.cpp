// The movie decoder on files ffmpeg makes here: frame times from the container, one frame
// ahead for a late reader, the end of the stream, and frames converted into each surface
// format the runtime draws in.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/movie_decoder.h"
#include "tests/graphics/movie_files.h"
#include "tests/programs/process_runner.h"

namespace {

class MovieDecoderTest : public ::testing::Test {
protected:
    void SetUp() override { dir_ = makeTempDir(); }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    std::string make(const MovieFormat& format, int frames, int fps, bool sound) {
        const std::string path = dir_ + "/m" + format.extension;
        std::string error;
        EXPECT_TRUE(makeMovie(path, format, std::vector<MovieFrame>(size_t(frames), MovieFrame{0xFF0000, 0x0000FF}),
                              32, 16, fps, sound, &error))
            << error;
        return path;
    }
    std::string dir_;
};

TEST_F(MovieDecoderTest, FramesCarryTheirTimesAndEndWithTheStream) {
    for (const MovieFormat* format : {&kAviMpeg4, &kMp4H264}) {
        const std::unique_ptr<MovieDecoder> movie = MovieDecoder::open(make(*format, 4, 4, false));
        ASSERT_NE(movie, nullptr) << format->name;
        EXPECT_EQ(movie->width(), 32);
        EXPECT_EQ(movie->height(), 16);
        EXPECT_FALSE(movie->hasSound());
        std::vector<int64_t> times = {movie->frameTime()};
        int64_t ahead = -1;
        ASSERT_TRUE(movie->nextFrameTime(&ahead));
        EXPECT_EQ(ahead, 250);
        EXPECT_EQ(movie->frameTime(), 0);  // looking ahead does not move on
        while (movie->advance()) {
            times.push_back(movie->frameTime());
        }
        EXPECT_EQ(times, (std::vector<int64_t>{0, 250, 500, 750})) << format->name;
        EXPECT_FALSE(movie->nextFrameTime(&ahead));
        EXPECT_FALSE(movie->advance());
        EXPECT_EQ(movie->frameTime(), 750);
    }
}

// A spliced stream whose timestamps fall back, or leap an hour ahead, neither rushes
// nor stalls the reader: the first frame after the splice follows by one frame time, and
// the later ones keep their spacing.
TEST_F(MovieDecoderTest, TimestampLeapsAreBridged) {
    const std::vector<MovieFrame> two(2, MovieFrame{0xFF0000, 0x0000FF});
    const MovieFormat ts{"Ts", ".ts", "-c:v mpeg4 -q:v 2", nullptr};
    std::string error;
    ASSERT_TRUE(makeMovieWith(dir_ + "/a.ts", ts, two, 32, 16, 4, "", &error)) << error;
    for (const char* options : {"", "-output_ts_offset 3600"}) {
        ASSERT_TRUE(makeMovieWith(dir_ + "/b.ts", ts, two, 32, 16, 4, options, &error)) << error;
        ASSERT_TRUE(concatenate({dir_ + "/a.ts", dir_ + "/b.ts"}, dir_ + "/spliced.ts"));
        const std::unique_ptr<MovieDecoder> movie = MovieDecoder::open(dir_ + "/spliced.ts");
        ASSERT_NE(movie, nullptr);
        std::vector<int64_t> times = {movie->frameTime()};
        while (movie->advance()) {
            times.push_back(movie->frameTime());
        }
        EXPECT_EQ(times, (std::vector<int64_t>{0, 250, 500, 750})) << options;
    }
}

// Red left half, blue right half, read back in each format's own layout.
TEST_F(MovieDecoderTest, ConvertsIntoEverySurfaceFormat) {
    const std::unique_ptr<MovieDecoder> movie = MovieDecoder::open(make(kAviMpeg4, 2, 2, true));
    ASSERT_NE(movie, nullptr);
    EXPECT_TRUE(movie->hasSound());
    for (const SurfaceFormat& format : {SurfaceFormat::xrgb8888(), SurfaceFormat::rgb888(), SurfaceFormat::rgb565(),
                                        SurfaceFormat::rgb555()}) {
        const std::unique_ptr<Surface> picture = Surface::create(32, 16, format, SurfaceMemory::System);
        ASSERT_TRUE(movie->convert(picture->pixels(), picture->pitch(), format));
        for (const auto& [x, red, blue] : {std::tuple{4, true, false}, std::tuple{27, false, true}}) {
            uint32_t v = 0;
            std::memcpy(&v, picture->pixels() + 8 * picture->pitch() + x * format.bytesPerPixel(),
                        size_t(format.bytesPerPixel()));
            const auto share = [&](uint32_t mask) { return double(v & mask) / double(mask); };
            EXPECT_NEAR(share(format.redMask), red ? 1.0 : 0.0, 0.2) << format.depth << " x=" << x;
            EXPECT_NEAR(share(format.greenMask), 0.0, 0.2) << format.depth << " x=" << x;
            EXPECT_NEAR(share(format.blueMask), blue ? 1.0 : 0.0, 0.2) << format.depth << " x=" << x;
        }
    }
    const SurfaceFormat withAlpha{32, 0xFF000000, 0xFF0000, 0xFF00, 0xFF};
    std::vector<uint8_t> block(32 * 16 * 4);
    EXPECT_FALSE(movie->convert(block.data(), 32 * 4, withAlpha));
}

TEST_F(MovieDecoderTest, GarbageAndEmptyFilesDoNotOpen) {
    const std::string garbage = dir_ + "/garbage.avi";
    std::FILE* out = std::fopen(garbage.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::fputs("RIFF\x10\x00\x00\x00" "AVI LIST this is no movie at all", out);
    std::fclose(out);
    EXPECT_EQ(MovieDecoder::open(garbage), nullptr);
    const std::string empty = dir_ + "/empty.mp4";
    std::fclose(std::fopen(empty.c_str(), "wb"));
    EXPECT_EQ(MovieDecoder::open(empty), nullptr);
    // Another protocol is never reached through a file name.
    EXPECT_EQ(MovieDecoder::open("http://127.0.0.1:9/movie.avi"), nullptr);
}

}  // namespace
