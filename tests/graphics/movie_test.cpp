// The movie commands on movies made by ffmpeg at test time: sizes and the playing flag,
// the frames' pixels in order, stretching and clipping, pacing by presentation time, the
// end of the movie, files that are not movies, handles the display never issued, the
// sweep when the display closes, and the sound track's life.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "graphics/sys_movie.h"
#include "host/sys_runtime.h"
#include "platform/clock.h"
#include "tests/graphics/display_fixture.h"
#include "tests/graphics/movie_files.h"
#include "tests/programs/process_runner.h"

namespace {

using namespace gfxcmd;

constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kBlue = 0x0000FF;
constexpr uint32_t kGreen = 0x00FF00;
constexpr uint32_t kYellow = 0xFFFF00;
constexpr uint32_t kMarker = 0x804020;  // the buffer's colour before a draw

// Three frames at 2 a second: red | blue halves, green, yellow.
const std::vector<MovieFrame> kThreeFrames = {{kRed, kBlue}, {kGreen, kGreen}, {kYellow, kYellow}};
constexpr int kWidth = 64;
constexpr int kHeight = 48;

// Colours come back through YUV: each channel within a margin of the one encoded.
bool near(uint32_t argb, uint32_t rgb) {
    for (int shift = 0; shift <= 16; shift += 8) {
        const int a = int((argb >> shift) & 0xFF);
        const int b = int((rgb >> shift) & 0xFF);
        if (std::abs(a - b) > 40) {
            return false;
        }
    }
    return true;
}

std::string hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%06X", value & 0xFFFFFF);
    return text;
}

class MovieTest : public DisplayTest {
protected:
    void SetUp() override {
        DisplayTest::SetUp();
        ASSERT_TRUE(audio_create());
        dir_ = makeTempDir();
    }
    // The audio manager closes before the display, as at the end of a run.
    void TearDown() override {
        audio_destroy();
        DisplayTest::TearDown();
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    std::string movie(const MovieFormat& format, const std::vector<MovieFrame>& frames, int fps, bool sound,
                      int width = kWidth, int height = kHeight) {
        const std::string path = dir_ + "/movie" + std::to_string(made_++) + format.extension;
        std::string error;
        EXPECT_TRUE(makeMovie(path, format, frames, width, height, fps, sound, &error)) << error;
        return path;
    }

    int32_t open(const std::string& path) { return openMovie(str(path)); }

    uint32_t pixel(int x, int y) { return uint32_t(readPixel(x, y)) & 0xFFFFFF; }

    void fillBuffer(uint32_t rgb) {
        clsColor(int32_t(rgb >> 16), int32_t((rgb >> 8) & 0xFF), int32_t(rgb & 0xFF));
        cls();
    }

    // Which of the three frames the movie drawn at (0, 0) at its own size shows, or -1.
    int shownFrame() {
        const uint32_t left = pixel(kWidth / 4, kHeight / 2);
        const uint32_t right = pixel(3 * kWidth / 4, kHeight / 2);
        for (size_t i = 0; i < kThreeFrames.size(); ++i) {
            if (near(left, kThreeFrames[i].left) && near(right, kThreeFrames[i].right)) {
                return int(i);
            }
        }
        ADD_FAILURE() << "no frame matches " << hex(left) << " | " << hex(right);
        return -1;
    }

    std::string dir_;
    int made_ = 0;
};

TEST(MovieRegistration, SixCommandsWithTheirSignaturesOnce) {
    std::vector<std::string> names;
    static std::vector<std::string>* sink;
    sink = &names;
    graphics_link([](CommandSignature signature, void*) { sink->emplace_back(signature); });
    for (const char* signature : {"%OpenMovie$file", "%DrawMovie%movie%x=0%y=0%w=-1%h=-1", "%MovieWidth%movie",
                                  "%MovieHeight%movie", "%MoviePlaying%movie", "CloseMovie%movie"}) {
        EXPECT_EQ(std::count(names.begin(), names.end(), signature), 1) << signature;
    }
    EXPECT_EQ(names.size(), 98u);
}

// Each container plays its frames in order, is playing before the first draw, and after
// the last frame answers 0 without touching the buffer.
struct Case {
    const MovieFormat* format;
    bool sound;
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.format->name << (c.sound ? " with sound" : " silent"); }

class MovieFormats : public MovieTest, public ::testing::WithParamInterface<Case> {};

TEST_P(MovieFormats, PlaysItsFramesInOrderThenEndsLeavingTheBuffer) {
    const int32_t m = open(movie(*GetParam().format, kThreeFrames, 2, GetParam().sound));
    ASSERT_NE(m, 0);
    EXPECT_EQ(moviePlaying(m), 1);
    EXPECT_EQ(movieWidth(m), kWidth);
    EXPECT_EQ(movieHeight(m), kHeight);

    std::vector<int> shown;
    for (int i = 0; i < 10 && drawMovie(m) == 1; ++i) {
        shown.push_back(shownFrame());
        EXPECT_EQ(moviePlaying(m), 1);
    }
    // The first frame comes first; a late draw may skip a middle frame, never go back,
    // and the last frame is always shown.
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.front(), 0);
    EXPECT_EQ(shown.back(), 2);
    EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end()));
    EXPECT_EQ(std::adjacent_find(shown.begin(), shown.end()), shown.end());
    EXPECT_EQ(moviePlaying(m), 0);

    fillBuffer(kMarker);
    const uint32_t before = display().frontCanvas()->modificationCounter();
    EXPECT_EQ(drawMovie(m), 0);
    EXPECT_EQ(pixel(kWidth / 4, kHeight / 2), kMarker);
    EXPECT_EQ(display().frontCanvas()->modificationCounter(), before);
    closeMovie(m);
}

INSTANTIATE_TEST_SUITE_P(Containers, MovieFormats,
                         ::testing::Values(Case{&kAviMpeg4, true}, Case{&kAviMpeg4, false}, Case{&kMp4H264, true},
                                           Case{&kWebmVp8, false}, Case{&kOggTheora, true}),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             return std::string(info.param.format->name) + (info.param.sound ? "WithSound" : "Silent");
                         });

TEST_F(MovieTest, DrawsAtAPlaceAndStretchesToTwiceTheWidth) {
    const int32_t m = open(movie(kAviMpeg4, {{kRed, kBlue}, {kRed, kBlue}}, 2, false));
    ASSERT_NE(m, 0);
    fillBuffer(kMarker);
    ASSERT_EQ(drawMovie(m, 10, 20, 2 * kWidth, -1), 1);
    // The left half now spans 64 pixels: x = 10 + 48 is still red; unstretched it is blue.
    EXPECT_TRUE(near(pixel(10 + 4, 20 + 24), kRed)) << hex(pixel(14, 44));
    EXPECT_TRUE(near(pixel(10 + 48, 20 + 24), kRed)) << hex(pixel(58, 44));
    EXPECT_TRUE(near(pixel(10 + 80, 20 + 24), kBlue)) << hex(pixel(90, 44));
    EXPECT_TRUE(near(pixel(10 + 124, 20 + 24), kBlue)) << hex(pixel(134, 44));
    EXPECT_EQ(pixel(10 + 2 * kWidth, 20 + 24), kMarker);
    EXPECT_EQ(pixel(10 + 4, 20 + kHeight), kMarker);
    EXPECT_EQ(pixel(9, 44), kMarker);
}

TEST_F(MovieTest, DestinationsReachingOutsideTheBufferAreClipped) {
    const int32_t m = open(movie(kAviMpeg4, {{kRed, kBlue}, {kRed, kBlue}, {kRed, kBlue}}, 2, false));
    ASSERT_NE(m, 0);
    fillBuffer(kMarker);
    // Half off the top-left corner: the buffer's corner shows the movie's centre right.
    ASSERT_EQ(drawMovie(m, -kWidth / 2 - 8, -kHeight / 2), 1);
    EXPECT_TRUE(near(pixel(4, 4), kBlue)) << hex(pixel(4, 4));
    EXPECT_EQ(pixel(kWidth / 2 - 8 + 4, 4), kMarker);
    // Far outside, and with sizes whose sum overflows 32 bits: nothing drawn, still 1.
    fillBuffer(kMarker);
    EXPECT_EQ(drawMovie(m, 2147483000, 2147483000, 100000, 100000), 1);
    EXPECT_EQ(pixel(0, 0), kMarker);
    // Bottom-right, stretched far past the edges.
    EXPECT_EQ(drawMovie(m, graphicsWidth() - 10, graphicsHeight() - 10, 100000, 100000), 1);
    EXPECT_TRUE(near(pixel(graphicsWidth() - 1, graphicsHeight() - 1), kRed));
    EXPECT_EQ(pixel(graphicsWidth() - 11, graphicsHeight() - 1), kMarker);
}

// Drawing as fast as it can, a program still gets the frames at their times; drawing
// late, it gets the frame now due rather than the next one in the file.
TEST_F(MovieTest, FramesAdvanceWithTimeNotWithCalls) {
    const std::vector<MovieFrame> five(5, MovieFrame{kGreen, kGreen});
    const std::string path = movie(kAviMpeg4, five, 4, false);
    const uint32_t start = monotonicMillis();  // before the movie's clock starts
    const int32_t m = open(path);
    ASSERT_NE(m, 0);
    int calls = 0;
    while (drawMovie(m) == 1 && calls < 50) {
        ++calls;
    }
    const uint32_t took = monotonicMillis() - start;
    EXPECT_GE(calls, 1);
    EXPECT_LE(calls, 5);
    EXPECT_GE(took, 1000u);  // the last frame is due 1 s after the movie opened

    const int32_t late = open(movie(kAviMpeg4, kThreeFrames, 2, false));
    ASSERT_NE(late, 0);
    const uint32_t opened = monotonicMillis();
    while (monotonicMillis() - opened < 1300) {
        sleepMillis(50);
    }
    ASSERT_EQ(drawMovie(late), 1);
    EXPECT_EQ(shownFrame(), 2);
    EXPECT_EQ(drawMovie(late), 0);
}

TEST_F(MovieTest, FilesThatAreNotPlayableMoviesOpenAsZero) {
    EXPECT_EQ(open(dir_ + "/missing.avi"), 0);
    std::string error;
    ASSERT_TRUE(makeSoundOnly(dir_ + "/tone.wav", &error)) << error;
    EXPECT_EQ(open(dir_ + "/tone.wav"), 0);
    EXPECT_EQ(open(dir_), 0);  // a directory
    // An MP4 keeps its index at the end: cut short, it has none.
    const std::string mp4 = movie(kMp4H264, kThreeFrames, 2, true);
    ASSERT_TRUE(copyTruncated(mp4, dir_ + "/cut.mp4", fileSize(mp4) / 2));
    EXPECT_EQ(open(dir_ + "/cut.mp4"), 0);
    ASSERT_TRUE(copyTruncated(mp4, dir_ + "/header.mp4", 24));
    EXPECT_EQ(open(dir_ + "/header.mp4"), 0);
    EXPECT_TRUE(debugger.calls.empty());
}

// An AVI cut in the middle of its frames plays what is there and then ends.
TEST_F(MovieTest, TruncatedAviPlaysWhatRemainsThenEnds) {
    const std::vector<MovieFrame> frames(8, MovieFrame{kRed, kBlue});
    const std::string avi = movie(kAviMpeg4, frames, 8, true);
    ASSERT_TRUE(copyTruncated(avi, dir_ + "/cut.avi", fileSize(avi) * 2 / 3));
    const int32_t m = open(dir_ + "/cut.avi");
    ASSERT_NE(m, 0);
    int draws = 0;
    while (drawMovie(m) == 1) {
        ASSERT_LT(++draws, 20);
    }
    EXPECT_GE(draws, 1);
    EXPECT_LT(draws, 8);
    EXPECT_EQ(moviePlaying(m), 0);
    ASSERT_TRUE(copyTruncated(avi, dir_ + "/head.avi", 300));
    EXPECT_EQ(open(dir_ + "/head.avi"), 0);
}

// Handles the display did not issue, or has closed, answer 0 in either mode.
TEST_F(MovieTest, UnknownAndClosedHandlesAnswerZeroInEveryMode) {
    const int32_t m = open(movie(kAviMpeg4, kThreeFrames, 2, false));
    ASSERT_NE(m, 0);
    closeMovie(m);
    for (const bool debug : {false, true}) {
        debugMode = debug;
        for (const int32_t handle : {m, int32_t(0), int32_t(12345), int32_t(handleOf(display().backCanvas()))}) {
            EXPECT_EQ(errorOf([&] {
                          fillBuffer(kMarker);
                          EXPECT_EQ(drawMovie(handle), 0);
                          EXPECT_EQ(movieWidth(handle), 0);
                          EXPECT_EQ(movieHeight(handle), 0);
                          EXPECT_EQ(moviePlaying(handle), 0);
                          closeMovie(handle);
                      }),
                      "");
            EXPECT_EQ(pixel(1, 1), kMarker);
        }
    }
}

// A new display mode closes the movies of the old one; so does the end of graphics.
TEST_F(MovieTest, ClosingTheDisplayClosesItsMovies) {
    const std::string path = movie(kAviMpeg4, kThreeFrames, 2, true);
    const int32_t m = open(path);
    ASSERT_NE(m, 0);
    graphics(640, 480, 0, 2);
    EXPECT_EQ(moviePlaying(m), 0);
    EXPECT_EQ(drawMovie(m), 0);
    const int32_t again = open(path);
    ASSERT_NE(again, 0);
    EXPECT_EQ(drawMovie(again), 1);
    endGraphics();
    EXPECT_EQ(moviePlaying(again), 0);
}

// The sound track plays through the sound engine from the moment the movie opens and
// stops when it closes; a movie without one plays silently.
TEST_F(MovieTest, SoundTrackPlaysFromOpenUntilClose) {
    AudioHost* const audio = runtime->audio;
    ASSERT_NE(audio, nullptr);
    const int32_t m = open(movie(kAviMpeg4, kThreeFrames, 2, true));
    ASSERT_NE(m, 0);
    const sysMovie* const known = display().verifyMovie(uint32_t(m));
    ASSERT_NE(known, nullptr);
    const uint32_t track = known->soundTrack();
    ASSERT_NE(track, 0u);
    EXPECT_TRUE(audio->soundTrackPlaying(track));
    closeMovie(m);
    EXPECT_FALSE(audio->soundTrackPlaying(track));

    const int32_t silent = open(movie(kAviMpeg4, kThreeFrames, 2, false));
    ASSERT_NE(silent, 0);
    EXPECT_EQ(display().verifyMovie(uint32_t(silent))->soundTrack(), 0u);
    // A movie left open with sound: the audio manager closes first at teardown.
    EXPECT_NE(open(movie(kMp4H264, kThreeFrames, 2, true)), 0);
}

}  // namespace
