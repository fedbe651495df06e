// kbc as a tool: every registered command called by its name and linked by ksrun,
// stand-alone games made with --bind, the default output name and the exit statuses.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "tests/programs/process_runner.h"
#include "tools/kbc/command_table.h"

namespace {

const std::string kBin = KS_BIN_DIR;

void writeText(const std::string& path, const std::string& text) {
  std::ofstream out(path);
  out << text;
}

std::string readText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

const char* argumentFor(char sigil) {
  return sigil == '#' ? "0.5" : sigil == '$' ? "\"\"" : "0";
}

TEST(KbcTool, EveryRegisteredCommandIsCallableAndLinks) {
  // A function that is never called holds one call of every command, each with its
  // required arguments only (the defaults come from the signatures); linking proves
  // every link name, compiling every signature.
  std::string program = "Function everyCommand()\n";
  size_t count = 0;
  for (const auto& [key, command] : commandTable()) {
    std::string args;
    for (size_t i = 0; i < command.required(); ++i) {
      args += std::string(i ? ", " : "") + argumentFor(command.params[i].sigil);
    }
    if (command.result) {
      program += std::string("  v") + std::to_string(count) + command.result + " = " + command.name + "(" + args + ")\n";
    } else {
      program += "  " + command.name + " " + args + "\n";
    }
    ++count;
  }
  program += "End Function\nDebugLog \"linked \" + " + std::to_string(count) + "\n";
  ASSERT_GT(count, 200u);
  const std::string dir = makeTempDir();
  writeText(dir + "/every.kb", program);
  const ProcessResult compiled = runProcess({kBin + "/kbc", dir + "/every.kb"});
  ASSERT_EQ(compiled.exitCode, 0) << compiled.err;
  const ProcessResult run = runProcess({kBin + "/ksrun", dir + "/every.ksm"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.err.find("[log] linked " + std::to_string(count) + "\n"), std::string::npos) << run.err;
}

TEST(KbcTool, BindMakesAStandAloneGame) {
  const std::string dir = makeTempDir();
  writeText(dir + "/game.kb",
            "out = WriteFile(CommandLine())\nWriteLine out, \"bound \" + (6 * 7)\nCloseFile out\n");
  const ProcessResult compiled = runProcess({kBin + "/kbc", dir + "/game.kb", "--bind", dir + "/dist/game"});
  ASSERT_EQ(compiled.exitCode, 0) << compiled.err;
  const ProcessResult run = runProcess({dir + "/dist/game", dir + "/written.txt"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(readText(dir + "/written.txt"), "bound 42\r\n");
}

TEST(KbcTool, WritesBesideTheSourceByDefault) {
  const std::string dir = makeTempDir();
  writeText(dir + "/plain.kb", "DebugLog \"plain\"\n");
  ASSERT_EQ(runProcess({kBin + "/kbc", dir + "/plain.kb"}).exitCode, 0);
  const ProcessResult run = runProcess({kBin + "/ksrun", dir + "/plain.ksm"});
  EXPECT_NE(run.err.find("[log] plain\n"), std::string::npos) << run.err;
}

TEST(KbcTool, ExitStatuses) {
  const std::string dir = makeTempDir();
  EXPECT_EQ(runProcess({kBin + "/kbc"}).exitCode, 2);
  EXPECT_EQ(runProcess({kBin + "/kbc", "--nonsense", "x.kb"}).exitCode, 2);
  const ProcessResult help = runProcess({kBin + "/kbc", "--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("usage: kbc"), std::string::npos);
  const ProcessResult missing = runProcess({kBin + "/kbc", dir + "/missing.kb"});
  EXPECT_EQ(missing.exitCode, 3);
  EXPECT_NE(missing.err.find("missing.kb"), std::string::npos);
  writeText(dir + "/bad.kb", "x = \n");
  const ProcessResult bad = runProcess({kBin + "/kbc", dir + "/bad.kb"});
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_NE(bad.err.find("bad.kb:1:5: error: expected a value"), std::string::npos) << bad.err;
  writeText(dir + "/good.kb", "x = 1\n");
  EXPECT_EQ(runProcess({kBin + "/kbc", dir + "/good.kb", "-o", dir + "/no/such/folder/out.ksm"}).exitCode, 4);
}

}  // namespace
