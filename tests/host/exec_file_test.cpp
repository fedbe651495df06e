// ExecFile: splitting the command text, and starting a program.
#include "tests/host/recording_debugger.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

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

// The started program is detached: wait a while for what it leaves behind.
bool appears(const std::string& path) {
  for (int i = 0; i < 250 && access(path.c_str(), F_OK) != 0; ++i) {
    usleep(20000);
  }
  return access(path.c_str(), F_OK) == 0;
}

TEST_F(ExecFile, TheStartedProgramGetsItsParameters) {
  const std::string marker = "/tmp/kestrel-exec-" + std::to_string(getpid());
  std::remove(marker.c_str());
  ASSERT_TRUE(runtime->execFile("/usr/bin/touch  " + marker + "  "));
  EXPECT_TRUE(appears(marker));
  std::remove(marker.c_str());
}

// A program in the current directory named without a slash is that program, even when
// the search path has one of the same name ("true" here).
TEST_F(ExecFile, ProgramInTheCurrentDirectoryWinsOverTheSearchPath) {
  char dirTemplate[] = "/tmp/kestrel-cwd-XXXXXX";
  ASSERT_NE(mkdtemp(dirTemplate), nullptr);
  const std::string dir = dirTemplate;
  const std::string marker = dir + "/ran";
  {
    std::ofstream script(dir + "/true");
    script << "#!/bin/sh\necho \"$1\" > " << marker << ".tmp && mv " << marker << ".tmp " << marker << "\n";
  }
  ASSERT_EQ(chmod((dir + "/true").c_str(), 0755), 0);
  char previous[4096];
  ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
  ASSERT_EQ(chdir(dir.c_str()), 0);
  const bool started = runtime->execFile("true here");
  ASSERT_EQ(chdir(previous), 0);
  EXPECT_TRUE(started);
  EXPECT_TRUE(appears(marker));
  std::ifstream written(marker);
  std::string line;
  std::getline(written, line);
  EXPECT_EQ(line, "here");
  std::filesystem::remove_all(dir);
}

}  // namespace
