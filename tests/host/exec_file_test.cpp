// ExecFile: splitting the command text, and starting a program.
#include "tests/host/recording_debugger.h"

#include "host/exec_file.h"
#include "platform/shell.h"

namespace {

TEST(ShellCommandText, QuotedPathWithSpaceAndPaddedParameters) {
  const ShellCommand c = parseShellCommand("\"/opt/my game/run\"  -a  ");
  EXPECT_EQ(c.file, "/opt/my game/run");
  EXPECT_EQ(c.parameters, "-a");
}

TEST(ShellCommandText, UnquotedSplitsAtTheFirstSpace) {
  const ShellCommand c = parseShellCommand("   notes.txt  one two ");
  EXPECT_EQ(c.file, "notes.txt");
  EXPECT_EQ(c.parameters, "one two");
  EXPECT_EQ(parseShellCommand("solo").file, "solo");
  EXPECT_EQ(parseShellCommand("solo").parameters, "");
}

TEST(ShellCommandText, UnclosedQuoteTakesTheWholeText) {
  const ShellCommand c = parseShellCommand("\"/opt/my game -x");
  EXPECT_EQ(c.file, "\"/opt/my game -x");
  EXPECT_EQ(c.parameters, "");
}

TEST(ShellCommandText, ParametersSplitIntoArgumentsWithQuotes) {
  EXPECT_EQ(splitParameters("-a  \"b c\" d"), (std::vector<std::string>{"-a", "b c", "d"}));
  EXPECT_TRUE(splitParameters("").empty());
}

using ExecFile = HostTest;

TEST_F(ExecFile, StartsAProgramAndReportsFailures) {
  EXPECT_FALSE(runtime->execFile(""));
  EXPECT_TRUE(runtime->execFile("/bin/true --ignored"));
  EXPECT_FALSE(runtime->execFile("no-such-program-anywhere-here"));
}

TEST_F(ExecFile, TheStartedProgramGetsItsParameters) {
  const std::string marker = "/tmp/kestrel-exec-" + std::to_string(getpid());
  std::remove(marker.c_str());
  ASSERT_TRUE(runtime->execFile("/usr/bin/touch  " + marker + "  "));
  for (int i = 0; i < 100 && access(marker.c_str(), F_OK) != 0; ++i) {
    usleep(20000);
  }
  EXPECT_EQ(access(marker.c_str(), F_OK), 0);
  std::remove(marker.c_str());
}

}  // namespace
