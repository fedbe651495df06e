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

// A scratch folder, made the current directory, with scripts that record their
// arguments; the started programs are detached, so the record is waited for.
class ExecFileIn : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    char dirTemplate[] = "/tmp/kestrel-exec-XXXXXX";
    ASSERT_NE(mkdtemp(dirTemplate), nullptr);
    dir = dirTemplate;
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(dir.c_str()), 0);
  }
  void TearDown() override {
    ASSERT_EQ(chdir(previous), 0);
    std::filesystem::remove_all(dir);
    HostTest::TearDown();
  }
  // A script of that name that writes its arguments to the record, all at once.
  void recorder(const std::string& name) {
    const std::string record = dir + "/record";
    {
      std::ofstream(dir + "/" + name) << "#!/bin/sh\necho \"$*\" > " << record << ".tmp && mv " << record
                                      << ".tmp " << record << "\n";
    }
    ASSERT_EQ(chmod((dir + "/" + name).c_str(), 0755), 0);
  }
  std::string recorded() {
    if (!appears(dir + "/record")) {
      return "(nothing ran)";
    }
    std::ifstream written(dir + "/record");
    std::string line;
    std::getline(written, line);
    return line;
  }
  std::string dir;
  char previous[4096];
};

// A program in the current directory named without a slash is that program, even when
// the search path has one of the same name ("true" here).
TEST_F(ExecFileIn, ProgramInTheCurrentDirectoryWinsOverTheSearchPath) {
  recorder("true");
  EXPECT_TRUE(runtime->execFile("true here"));
  EXPECT_EQ(recorded(), "here");
}

// A document goes to xdg-open alone, and a name starting with "-" stays a file name.
TEST_F(ExecFileIn, DocumentsOpenWithXdgOpenAndNoOptions) {
  recorder("xdg-open");
  std::ofstream(dir + "/-notes.txt") << "text";
  const std::string path = getenv("PATH") ? getenv("PATH") : "";
  setenv("PATH", (dir + ":" + path).c_str(), 1);
  const bool started = runtime->execFile("-notes.txt --print now");
  setenv("PATH", path.c_str(), 1);
  EXPECT_TRUE(started);
  EXPECT_EQ(recorded(), "./-notes.txt");
}

}  // namespace
