// The sound example runs from start to end through ksrun, headless, and every asset it
// names loads and plays.
#include <gtest/gtest.h>

#include "tests/programs/process_runner.h"

TEST(SoundExample, LoadsItsEffectsAndPlaysBothSongs) {
  const ProcessResult run =
      runProcess({std::string(KS_BIN_DIR) + "/ksrun", std::string(KS_PROGRAM_DIR) + "/sound.ksm",
                  std::string(KS_SOURCE_DIR) + "/examples/sound"},
                 {"SDL_AUDIODRIVER=dummy", "SDL_VIDEODRIVER=offscreen"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err,
            "[log] Effects loaded: 2\n"
            "[log] Module playing: 1\n"
            "[log] Module playing after StopChannel: 0\n"
            "[log] MIDI song playing: 1\n"
            "[end] Program has ended\n");
}
