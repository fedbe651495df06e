// The movie example plays the clip the build made from start to end through ksrun,
// headless, and what it shows last is the movie's picture with the caption over it.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "tests/programs/process_runner.h"

TEST(MovieExample, PlaysTheBuildsClipToTheEnd) {
    const std::string dir = makeTempDir();
    const std::string shot = dir + "/movie.png";
    const ProcessResult run =
        runProcess({std::string(KS_BIN_DIR) + "/ksrun", "--screenshot", shot, std::string(KS_PROGRAM_DIR) + "/movie.ksm",
                    std::string(KS_BUILD_DIR) + "/examples/movie/clip.mp4"},
                   {"SDL_AUDIODRIVER=dummy", "SDL_VIDEODRIVER=offscreen"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(std::regex_match(run.err, std::regex(
                             "\\[log\\] Movie width: 320\n"
                             "\\[log\\] Movie height: 240\n"
                             "\\[log\\] Playing before the first draw: 1\n"
                             "\\[log\\] Frames drawn: [1-9][0-9]*\n"
                             "\\[log\\] Playing after the end: 0\n"
                             "\\[end\\] Program has ended\n"
                             "ksrun: screenshot written to .*\n")))
        << run.err;
    EXPECT_GT(std::filesystem::file_size(shot), 1000u);
    std::filesystem::remove_all(dir);
}
