// Argument text: trimming for execute, the stand-alone command-line split, and the
// command line as /proc/self/cmdline gives it.
#include <gtest/gtest.h>

#include "platform/process.h"
#include "runtime/trim_arguments.h"

namespace {

TEST(ArgumentText, TrimsOnlySpacesAtBothEnds) {
  EXPECT_EQ(trimArguments("  a b  "), "a b");
  EXPECT_EQ(trimArguments("   "), "");
  EXPECT_EQ(trimArguments(""), "");
  EXPECT_EQ(trimArguments("\tx\t"), "\tx\t");
}

TEST(StandaloneCommandLine, QuotedProgramPathWithSpace) {
  const std::string line = "\"/home/me/my game/game\" -w  ";
  EXPECT_EQ(commandLineArguments(line), " -w  ");
  EXPECT_EQ(trimArguments(commandLineArguments(line)), "-w");
}

TEST(StandaloneCommandLine, UnquotedPathAloneHasNoArguments) {
  EXPECT_EQ(commandLineArguments("/games/game"), "");
  EXPECT_EQ(commandLineArguments("   /games/game"), "");
  EXPECT_EQ(commandLineArguments("\"/games/unclosed quote"), "");
  EXPECT_EQ(commandLineArguments("/games/game a  b"), "a  b");
  EXPECT_EQ(commandLineArguments(""), "");
}

TEST(StandaloneCommandLine, JoinQuotesAProgramPathContainingASpace) {
  EXPECT_EQ(joinCommandLine({"/a b/game", "-w", "x"}), "\"/a b/game\" -w x");
  EXPECT_EQ(joinCommandLine({"/games/game"}), "/games/game");
}

}  // namespace
