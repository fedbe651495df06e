// Compiled programs run end to end: linked and run by the host runner, and bound into
// stand-alone games, through the real linker and calling convention.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <iterator>

#include "platform/process.h"

#include "tests/programs/process_runner.h"

namespace {

const std::string kBin = KS_BIN_DIR;
const std::string kPrograms = KS_PROGRAM_DIR;

ProcessResult hosted(const std::string& program, std::vector<std::string> extra = {}) {
  std::vector<std::string> argv = {kBin + "/ksrun"};
  std::vector<std::string> args = {kPrograms + "/" + program + ".ksm"};
  // Options go before the module, program arguments after it.
  for (auto it = extra.begin(); it != extra.end(); ++it) {
    if (*it == "--end-after" || *it == "--debug") {
      argv.push_back(*it);
      if (*it == "--end-after") {
        argv.push_back(*++it);
      }
    } else {
      args.push_back(*it);
    }
  }
  argv.insert(argv.end(), args.begin(), args.end());
  return runProcess(argv);
}

ProcessResult standalone(const std::string& module, std::vector<std::string> args = {}) {
  const std::string dir = makeTempDir();
  const std::string game = dir + "/my game";
  const ProcessResult bound = runProcess({kBin + "/ksbind", module, game});
  EXPECT_EQ(bound.exitCode, 0) << bound.err;
  std::vector<std::string> argv = {game};
  argv.insert(argv.end(), args.begin(), args.end());
  return runProcess(argv);
}

ProcessResult standaloneProgram(const std::string& program, std::vector<std::string> args = {}) {
  return standalone(kPrograms + "/" + program + ".ksm", std::move(args));
}

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(HostedProgram, NormalEndReportsProgramHasEnded) {
  const ProcessResult run = hosted("hello", {"a", "b"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_TRUE(has(run.err, "[log] Hello from a Kestrel program\n")) << run.err;
  EXPECT_TRUE(has(run.err, "[log] Command line: a b\n")) << run.err;
  EXPECT_TRUE(has(run.err, "[log] Waited at least 50 ms: 1\n")) << run.err;
  EXPECT_TRUE(has(run.err, "[end] Program has ended\n")) << run.err;
}

TEST(HostedProgram, EndReportsNothing) {
  const ProcessResult run = hosted("end_silent");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_FALSE(has(run.err, "[end]")) << run.err;
  EXPECT_FALSE(has(run.err, "not reached"));
}

TEST(HostedProgram, RuntimeErrorReportsExactly255Characters) {
  const ProcessResult run = hosted("runtime_error_long");
  EXPECT_EQ(run.exitCode, 1);
  std::string expected;
  while (expected.size() < 255) {
    expected += "0123456789";
  }
  expected.resize(255);
  EXPECT_TRUE(has(run.err, "[runtime error] " + expected + "\n")) << run.err;
  EXPECT_FALSE(has(run.err, "not reached"));
}

TEST(HostedProgram, ProcessorFaultsBecomeRuntimeErrors) {
  const std::pair<const char*, const char*> cases[] = {
      {"divide_by_zero", "Integer divide by zero"},
      {"null_write", "Illegal memory address"},
      {"stack_overflow", "Stack overflow!"},
      {"stack_overflow_timer", "Stack overflow!"},  // with the allocator's lock in use
  };
  for (const auto& [program, message] : cases) {
    const ProcessResult run = hosted(program);
    EXPECT_EQ(run.exitCode, 1) << program << ": " << run.err;
    EXPECT_TRUE(has(run.err, std::string("[runtime error] ") + message + "\n")) << program << ": " << run.err;
    EXPECT_FALSE(has(run.err, "[end]")) << program;
    EXPECT_FALSE(has(run.err, "inside library code")) << program << ": " << run.err;
  }
}

TEST(HostedProgram, FloatingPointOverflowAndNaNDoNotFault) {
  const ProcessResult run = hosted("float_nan");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(has(run.err, "[log] NaN without a fault\n")) << run.err;
  EXPECT_TRUE(has(run.err, "[log] infinity without a fault\n")) << run.err;
}

TEST(HostedProgram, EnvironmentAndTrimmedCommandLine) {
  // The program reports what it found as a runtime error.
  const ProcessResult run = hosted("environment", {"  x y  "});
  EXPECT_EQ(run.exitCode, 1) << run.err;
  EXPECT_TRUE(has(run.err, "[runtime error] set=[hello world] unset=[] removed=[] args=[x y]\n")) << run.err;
}

TEST(HostedProgram, DelayZeroReturnsAtOnce) {
  const ProcessResult run = hosted("delay_zero");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_TRUE(has(run.err, "[log] after delay\n[end] Program has ended\n")) << run.err;
}

TEST(HostedProgram, EndRequestFromAnotherThreadEndsADelay) {
  const auto start = std::chrono::steady_clock::now();
  // Long enough for the program to start (it opens its window first) even when emulated.
  const ProcessResult run = hosted("delay_forever", {"--end-after", "3000"});
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(has(run.err, "[log] waiting\n"));
  EXPECT_FALSE(has(run.err, "not reached"));
  EXPECT_FALSE(has(run.err, "[end]")) << run.err;
  EXPECT_LT(elapsed, std::chrono::seconds(30));
}

TEST(HostedProgram, DebuggerHooksAndTimersThroughTheCallingConvention) {
  const ProcessResult run = hosted("debug_hooks", {"--debug"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(has(run.err, "[log] timer ok: 1\n")) << run.err;
  EXPECT_TRUE(has(run.err, "[log] no timer: 0\n")) << run.err;
}

TEST(HostedProgram, MissingSymbolIsNamedAndExitsWithTheLinkFailureStatus) {
  const ProcessResult run = hosted("missing_symbol");
  EXPECT_EQ(run.exitCode, 5);
  EXPECT_TRUE(has(run.err, "Can't find symbol: _fnosuchcommand")) << run.err;
}

std::string writeImageWithSymbolOutsideCode() {
  const std::string path = makeTempDir() + "/outside.ksm";
  std::ofstream out(path, std::ios::binary);
  const unsigned char image[] = {1, 0, 0, 0, 0xC3,                 // one byte of code
                                 1, 0, 0, 0, 'x', 0, 1, 0, 0, 0,   // symbol at offset 1
                                 0, 0, 0, 0, 0, 0, 0, 0};
  out.write(reinterpret_cast<const char*>(image), sizeof image);
  return path;
}

TEST(HostedProgram, SymbolOutsideTheCodeIsRefusedAsNoModuleImage) {
  const ProcessResult run = runProcess({kBin + "/ksrun", writeImageWithSymbolOutsideCode()});
  EXPECT_EQ(run.exitCode, 4);
  EXPECT_TRUE(has(run.err, "is not a Kestrel module image")) << run.err;
}

// The bytes of a file ("" when it cannot be read).
std::string fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

uint32_t bigEndianWord(const std::string& b, size_t at) {
  return uint32_t(uint8_t(b[at])) << 24 | uint32_t(uint8_t(b[at + 1])) << 16 | uint32_t(uint8_t(b[at + 2])) << 8 |
         uint32_t(uint8_t(b[at + 3]));
}

TEST(HostedProgram, ScreenshotWritesTheLastPictureAsPng) {
  const std::string shot = makeTempDir() + "/shot.png";
  const ProcessResult run = runProcess(
      {kBin + "/ksrun", "--end-after", "1500", "--screenshot", shot, kPrograms + "/known_picture.ksm", "2"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.err.find("screenshot written to " + shot), std::string::npos) << run.err;
  const std::string png = fileBytes(shot);
  ASSERT_GE(png.size(), 24u);
  EXPECT_EQ(png.substr(1, 3), "PNG");
  EXPECT_EQ(png.substr(12, 4), "IHDR");
  EXPECT_EQ(bigEndianWord(png, 16), 200u);
  EXPECT_EQ(bigEndianWord(png, 20), 150u);

  const ProcessResult unwritable = runProcess({kBin + "/ksrun", "--end-after", "0", "--screenshot",
                                               "/nonexistent-folder/shot.png", kPrograms + "/end_silent.ksm"});
  EXPECT_EQ(unwritable.exitCode, 1);
  EXPECT_NE(unwritable.err.find("cannot write the screenshot"), std::string::npos);
  EXPECT_EQ(runProcess({kBin + "/ksrun", "--screenshot"}).exitCode, 2);
}

TEST(StandaloneGame, NormalEndAndEndShowNothing) {
  const ProcessResult ended = standaloneProgram("hello", {"a"});
  EXPECT_EQ(ended.exitCode, 0) << ended.err;
  EXPECT_EQ(ended.err, "");
  const ProcessResult silent = standaloneProgram("end_silent");
  EXPECT_EQ(silent.exitCode, 0);
  EXPECT_EQ(silent.err, "");
}

TEST(StandaloneGame, RuntimeErrorsShowTheErrorBoxAndExitWithZero) {
  const std::pair<const char*, const char*> cases[] = {
      {"divide_by_zero", "Integer divide by zero"},
      {"null_write", "Illegal memory address"},
      {"stack_overflow", "Stack overflow!"},
      {"stack_overflow_timer", "Stack overflow!"},  // with the allocator's lock in use
  };
  for (const auto& [program, message] : cases) {
    const ProcessResult run = standaloneProgram(program);
    EXPECT_EQ(run.exitCode, 0) << program;
    EXPECT_EQ(run.err, std::string("Error!: ") + message + "\n") << program;
  }
  std::string expected(255, ' ');
  for (size_t i = 0; i < 255; ++i) {
    expected[i] = char('0' + i % 10);
  }
  const ProcessResult longError = standaloneProgram("runtime_error_long");
  EXPECT_EQ(longError.err, "Error!: " + expected + "\n");
}

TEST(StandaloneGame, ArgumentsAndEnvironment) {
  // The game's path holds a space, so the runtime sees it double-quoted; the program
  // gets only the arguments after it.
  const ProcessResult run = standaloneProgram("environment", {"-w", ""});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "Error!: set=[hello world] unset=[] removed=[] args=[-w]\n");
}

// The launcher with any bytes appended as its module (ksbind refuses a malformed one),
// and the runtime library beside it.
std::string gameBoundByHand(const std::string& module) {
  const std::string game = makeTempDir() + "/game";
  std::ifstream launcher(kBin + "/kslaunch", std::ios::binary);
  std::ifstream bytes(module, std::ios::binary);
  const std::string image((std::istreambuf_iterator<char>(bytes)), std::istreambuf_iterator<char>());
  const std::vector<uint8_t> trailer =
      resourceTrailer(kResourceRcData, kModuleResourceId, uint32_t(image.size()));
  {
    std::ofstream out(game, std::ios::binary);
    out << launcher.rdbuf() << image;
    out.write(reinterpret_cast<const char*>(trailer.data()), std::streamsize(trailer.size()));
  }
  std::ifstream library(kBin + "/libkestrel-runtime.so", std::ios::binary);
  const std::string folder = game.substr(0, game.rfind('/'));
  std::ofstream(folder + "/libkestrel-runtime.so", std::ios::binary) << library.rdbuf();
  chmod(game.c_str(), 0755);
  return game;
}

TEST(StandaloneGame, LinkFailuresShowTheirBoxAndExitCodes) {
  const ProcessResult missing = standaloneProgram("missing_symbol");
  EXPECT_EQ(missing.exitCode, 0);
  EXPECT_TRUE(has(missing.err, "Can't find symbol: _fnosuchcommand\n")) << missing.err;
  const ProcessResult outside = runProcess({gameBoundByHand(writeImageWithSymbolOutsideCode())});
  EXPECT_EQ(outside.exitCode, 255);
  EXPECT_TRUE(has(outside.err, "Unable to run Kestrel Basic module\n")) << outside.err;
}

TEST(StandaloneGame, LauncherWithoutAModuleCannotRun) {
  const ProcessResult run = runProcess({kBin + "/kslaunch"});
  EXPECT_EQ(run.exitCode, 255);
  EXPECT_TRUE(has(run.err, "Unable to run Kestrel Basic module")) << run.err;
}

}  // namespace
