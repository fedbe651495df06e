// ksrun, ksbind and elf2module as a user meets them: help, usage errors, unreadable and
// malformed modules, link and start-up failures, --end-after and the stop signals, each
// with its documented exit status and a one-line message, never an abort.
#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>

#include "tests/programs/process_runner.h"

extern char** environ;

namespace {

const std::string kBin = KS_BIN_DIR;
const std::string kPrograms = KS_PROGRAM_DIR;
const std::string kSource = KS_SOURCE_DIR;
const std::string kBuild = KS_BUILD_DIR;

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

int lineCount(const std::string& text) {
  return int(std::count(text.begin(), text.end(), '\n'));
}

ProcessResult ksrun(std::vector<std::string> args, const std::vector<std::string>& environment = {}) {
  args.insert(args.begin(), kBin + "/ksrun");
  return runProcess(args, environment);
}

ProcessResult ksbind(std::vector<std::string> args) {
  args.insert(args.begin(), kBin + "/ksbind");
  return runProcess(args);
}

std::string program(const std::string& name) {
  return kPrograms + "/" + name + ".ksm";
}

std::string writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

// A well-formed image of one `ret` that calls nothing.
std::string writeReturnOnlyModule() {
  return writeFile(makeTempDir() + "/ret.ksm", std::string("\1\0\0\0\xC3\0\0\0\0\0\0\0\0\0\0\0\0", 17));
}

// A usage error or refused file: the status, one line naming the tool, and no abort.
void expectRefusal(const ProcessResult& run, int status, const std::string& tool, const std::string& words) {
  EXPECT_EQ(run.exitCode, status) << run.err;
  EXPECT_EQ(run.err.rfind(tool + ": ", 0), 0u) << run.err;
  EXPECT_TRUE(has(run.err, words)) << run.err;
  EXPECT_FALSE(has(run.err, "terminate called")) << run.err;
  EXPECT_LE(lineCount(run.err), 2) << run.err;  // the message, and "Try '... --help'."
}

TEST(KsrunCommandLine, HelpPrintsTheUsageAndExitStatusesOnStandardOutput) {
  for (const char* flag : {"--help", "-h"}) {
    const ProcessResult run = ksrun({flag});
    EXPECT_EQ(run.exitCode, 0) << flag;
    EXPECT_EQ(run.out.rfind("usage: ksrun [OPTIONS] program.ksm", 0), 0u) << run.out;
    EXPECT_TRUE(has(run.out, "Everything\nafter the module is the program's command line")) << run.out;
    EXPECT_TRUE(has(run.out, "  5    link failure")) << run.out;
    EXPECT_TRUE(has(run.out, "  130  ended by SIGINT; 143 ended by SIGTERM")) << run.out;
    EXPECT_EQ(run.err, "");
  }
}

TEST(KsrunCommandLine, UsageErrorsExitWithTwo) {
  expectRefusal(ksrun({}), 2, "ksrun", "no module image to run");
  expectRefusal(ksrun({"--frobnicate", program("hello")}), 2, "ksrun", "unknown option --frobnicate");
  expectRefusal(ksrun({"--end-after"}), 2, "ksrun", "--end-after needs a number of milliseconds");
  for (const char* value : {"abc", "-5", "", "10x", "2147483648", "1.5"}) {
    const ProcessResult run = ksrun({"--end-after", value, program("hello")});
    expectRefusal(run, 2, "ksrun", std::string("not '") + value + "'");
  }
  expectRefusal(ksrun({"--end-after=-1", program("hello")}), 2, "ksrun", "not '-1'");
}

TEST(KsrunCommandLine, OptionsAfterTheModuleBelongToTheProgram) {
  const ProcessResult run = ksrun({program("hello"), "--debug", "--end-after", "x", "-h"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(has(run.err, "[log] Command line: --debug --end-after x -h\n")) << run.err;
  const ProcessResult dashes = ksrun({"--", program("hello"), "--"});
  EXPECT_EQ(dashes.exitCode, 0) << dashes.err;
  EXPECT_TRUE(has(dashes.err, "[log] Command line: --\n")) << dashes.err;
}

TEST(KsrunCommandLine, UnreadableModulesExitWithThree) {
  expectRefusal(ksrun({"/tmp"}), 3, "ksrun", "cannot read /tmp: it is a folder");
  expectRefusal(ksrun({"/nonexistent/game.ksm"}), 3, "ksrun", "No such file or directory");
}

TEST(KsrunCommandLine, FilesThatAreNoModuleImageExitWithFour) {
  const std::string text = writeFile(makeTempDir() + "/notes.txt", "hello\n");
  expectRefusal(ksrun({text}), 4, "ksrun", "is not a Kestrel module image");
  expectRefusal(ksrun({kBin + "/ksrun"}), 4, "ksrun", "is not a Kestrel module image");
  const std::string empty = writeFile(makeTempDir() + "/empty.ksm", "");
  expectRefusal(ksrun({empty}), 4, "ksrun", "is not a Kestrel module image");
}

TEST(KsrunCommandLine, AMissingSymbolIsALinkFailureExitingWithFive) {
  expectRefusal(ksrun({program("missing_symbol")}), 5, "ksrun", "Can't find symbol: _fnosuchcommand");
}

TEST(KsrunCommandLine, AStartupErrorExitsWithSix) {
  const ProcessResult run = ksrun({writeReturnOnlyModule()}, {"KESTREL_RUNTIME=" FAKE_RUNTIME});
  EXPECT_EQ(run.exitCode, 6) << run.err;
  EXPECT_EQ(run.err, "[end] Startup Error: graphics_create failed\n");
}

TEST(KsrunCommandLine, ARunThatReturnsWithoutStartingTheProgramIsAStartupError) {
  const ProcessResult run =
      ksrun({writeReturnOnlyModule()}, {"KESTREL_RUNTIME=" FAKE_RUNTIME, "FAKE_RUNTIME_QUIET=1"});
  EXPECT_EQ(run.exitCode, 6) << run.err;
  EXPECT_EQ(run.err, "ksrun: the program could not start\n");
}

TEST(KsrunCommandLine, ARuntimeLibraryThatCannotBeLoadedExitsWithSix) {
  const ProcessResult run = ksrun({program("hello")}, {"KESTREL_RUNTIME=/nonexistent/libkestrel-runtime.so"});
  EXPECT_EQ(run.exitCode, 6) << run.err;
  EXPECT_TRUE(has(run.err, "ksrun: cannot load the runtime: ")) << run.err;
}

using Clock = std::chrono::steady_clock;

TEST(KsrunEndAfter, ReturnsAsSoonAsTheProgramEnds) {
  const auto start = Clock::now();
  const ProcessResult run = ksrun({"--end-after", "20000", program("hello")});
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(has(run.err, "[end] Program has ended\n")) << run.err;
}

TEST(KsrunEndAfter, ZeroEndsTheProgramAtOnce) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--end-after", "0", program("delay_forever")},
        std::vector<std::string>{"--end-after=1", program("delay_forever")}}) {
    const auto start = Clock::now();
    const ProcessResult run = ksrun(args);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(30));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_FALSE(has(run.err, "not reached")) << run.err;
  }
}

// Runs ksrun on delay_forever, sends the signal once the program is waiting, and
// returns the wait status and standard error.
std::pair<int, std::string> stopWaitingProgram(int signal) {
  int err[2];
  if (pipe(err) != 0) {
    return {-1, ""};
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  posix_spawn_file_actions_addclose(&actions, err[0]);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const std::string ksrunPath = kBin + "/ksrun";
  const std::string module = program("delay_forever");
  char* argv[] = {const_cast<char*>(ksrunPath.c_str()), const_cast<char*>(module.c_str()), nullptr};
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(err[1]);
  if (spawned != 0) {
    close(err[0]);
    return {-1, ""};
  }
  std::string text;
  bool sent = false;
  const auto deadline = Clock::now() + std::chrono::seconds(60);
  pollfd fd = {err[0], POLLIN, 0};
  while (Clock::now() < deadline && poll(&fd, 1, 1000) >= 0) {
    if (fd.revents == 0) {
      continue;
    }
    char buffer[4096];
    const ssize_t n = read(err[0], buffer, sizeof buffer);
    if (n <= 0) {
      break;
    }
    text.append(buffer, size_t(n));
    if (!sent && has(text, "[log] waiting\n")) {
      kill(pid, signal);
      sent = true;
    }
  }
  close(err[0]);
  if (Clock::now() >= deadline) {
    kill(pid, SIGKILL);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return {status, text};
}

TEST(KsrunSignals, SigtermEndsTheProgramAndExitsWith143) {
  const auto [status, err] = stopWaitingProgram(SIGTERM);
  ASSERT_TRUE(WIFEXITED(status)) << "status " << status << ": " << err;
  EXPECT_EQ(WEXITSTATUS(status), 143) << err;
  EXPECT_TRUE(has(err, "[log] waiting\n[end] Program ended by SIGTERM\n")) << err;
  EXPECT_FALSE(has(err, "not reached")) << err;
}

TEST(KsrunSignals, SigintEndsTheProgramAndExitsWith130) {
  const auto [status, err] = stopWaitingProgram(SIGINT);
  ASSERT_TRUE(WIFEXITED(status)) << "status " << status << ": " << err;
  EXPECT_EQ(WEXITSTATUS(status), 130) << err;
  EXPECT_TRUE(has(err, "[end] Program ended by SIGINT\n")) << err;
  EXPECT_FALSE(has(err, "terminate called")) << err;
}

// ksrun blocks its stop signals (it reads them from a signalfd): ExecFile's children
// must not inherit the block. (Under the qemu-user emulator an exec never passes the
// block on; run_ender_test checks the forked child's mask there.)
TEST(KsrunSignals, ProgramsStartedByExecFileCanBeInterrupted) {
  const std::string mask = makeTempDir() + "/mask";
  const std::string script = "\"grep ^SigBlk /proc/self/status > " + mask + "\"";
  const ProcessResult run = ksrun({program("exec_command_line"), "/bin/sh", "-c", script});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  std::string line;
  for (int i = 0; i < 200 && line.empty(); ++i) {  // the child is detached: wait for it
    usleep(50000);
    std::ifstream in(mask);
    std::getline(in, line);
  }
  ASSERT_EQ(line.rfind("SigBlk:", 0), 0u) << line;
  const unsigned long long blocked = std::stoull(line.substr(7), nullptr, 16);
  EXPECT_EQ(blocked & ((1ull << (SIGINT - 1)) | (1ull << (SIGTERM - 1))), 0u) << line;
}

TEST(KsbindCommandLine, HelpPrintsTheUsageAndExitStatuses) {
  for (const char* flag : {"--help", "-h"}) {
    const ProcessResult run = ksbind({flag});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out.rfind("usage: ksbind [--launcher PATH] program.ksm GAME", 0), 0u) << run.out;
    EXPECT_TRUE(has(run.out, "  4    the file is not a module image")) << run.out;
  }
}

TEST(KsbindCommandLine, UsageErrorsExitWithTwo) {
  expectRefusal(ksbind({}), 2, "ksbind", "needs a module image and the game to write");
  expectRefusal(ksbind({program("hello")}), 2, "ksbind", "needs a module image and the game to write");
  expectRefusal(ksbind({"a", "b", "c"}), 2, "ksbind", "too many arguments: c");
  expectRefusal(ksbind({"--fast", "a", "b"}), 2, "ksbind", "unknown option --fast");
  expectRefusal(ksbind({"a", "b", "--launcher"}), 2, "ksbind", "--launcher needs a path");
  expectRefusal(ksbind({program("hello"), makeTempDir() + "/"}), 2, "ksbind", "needs a file name");
}

TEST(KsbindCommandLine, RefusesWhatIsNotAReadableModuleImage) {
  const std::string dir = makeTempDir();
  expectRefusal(ksbind({"/tmp", dir + "/x"}), 3, "ksbind", "cannot read /tmp: it is a folder");
  expectRefusal(ksbind({dir + "/none.ksm", dir + "/x"}), 3, "ksbind", "No such file or directory");
  expectRefusal(ksbind({kBin + "/ksrun", dir + "/x"}), 4, "ksbind", "is not a Kestrel module image");
  struct stat info {};
  EXPECT_NE(stat((dir + "/x").c_str(), &info), 0) << "nothing is written for a refused module";
}

TEST(KsbindCommandLine, CreatesTheGamesFolderAndTheGameRuns) {
  const std::string game = makeTempDir() + "/dist/my game/mygame";
  const ProcessResult bound = ksbind({program("greet"), game});
  ASSERT_EQ(bound.exitCode, 0) << bound.err;
  const ProcessResult run = runProcess({game, "Ada"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  struct stat info {};
  EXPECT_EQ(stat((game.substr(0, game.rfind('/')) + "/libkestrel-runtime.so").c_str(), &info), 0);
}

TEST(KsbindCommandLine, AGameThatIsAFolderOrAMissingLauncherCannotBeWritten) {
  const std::string dir = makeTempDir();
  expectRefusal(ksbind({program("hello"), dir}), 1, "ksbind", "it is a folder");
  expectRefusal(ksbind({"--launcher", dir + "/kslaunch", program("hello"), dir + "/game"}), 1, "ksbind",
                "cannot read " + dir + "/kslaunch");
}

TEST(Elf2ModuleCommandLine, HelpAndUsageErrors) {
  const ProcessResult help = runProcess({ELF2MODULE_PATH, "--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_TRUE(has(help.out, "-fno-pic -fno-pie")) << help.out;
  expectRefusal(runProcess({ELF2MODULE_PATH}), 2, "elf2module", "needs an object file");
  expectRefusal(runProcess({ELF2MODULE_PATH, "a.o"}), 2, "elf2module", "needs an object file");
}

TEST(FirstProgram, BuildsByHandAsTheReadmeShowsAndRuns) {
  const std::string script = kSource + "/examples/first-program/build-and-run.sh";
  const ProcessResult run = runProcess({"/bin/bash", script, "Ada"}, {"BUILD=" + kBuild});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err,
            "[log] Hello, Ada\n"
            "[log] In capitals: ADA\n"
            "[log] Letters: 3\n"
            "[log] Square root of that: 1.732051\n"
            "[end] Program has ended\n");
}

TEST(Demo, ThePrintedCommandIsWhatItRunsAndWithoutAScreenItSavesThePicture) {
  const std::string shot = kBuild + "/demo.png";
  std::remove(shot.c_str());
  const ProcessResult demo =
      runProcess({"/bin/bash", kSource + "/examples/run-demo.sh", kBuild}, {"SDL_VIDEODRIVER=offscreen"});
  ASSERT_EQ(demo.exitCode, 0) << demo.err;
  ASSERT_EQ(demo.out.rfind("$ ", 0), 0u) << demo.out;
  const std::string command = demo.out.substr(2, demo.out.find('\n') - 2);
  EXPECT_TRUE(has(command, "/bin/ksrun --screenshot ")) << command;
  EXPECT_TRUE(has(command, "/programs/demo.ksm")) << command;
  EXPECT_TRUE(has(demo.out, "the demo's last picture is in ")) << demo.out;
  EXPECT_TRUE(has(demo.err, "[log] Frames shown: ")) << demo.err;
  EXPECT_TRUE(has(demo.err, "[log] Pixel-exact hits: ")) << demo.err;
  EXPECT_FALSE(has(demo.err, "files were not found")) << demo.err;
  EXPECT_TRUE(has(demo.err, "ksrun: screenshot written to ")) << demo.err;
  struct stat info {};
  ASSERT_EQ(stat(shot.c_str(), &info), 0);
  EXPECT_GT(info.st_size, 1000);
  // Typed from the top of the repository, as the README says.
  const ProcessResult typed = runProcess({"/bin/bash", "-c", "cd " + kSource + " && " + command});
  EXPECT_EQ(typed.exitCode, 0) << typed.err;
  EXPECT_TRUE(has(typed.err, "[log] Pixel-exact hits: ")) << typed.err;
  EXPECT_TRUE(has(typed.err, "ksrun: screenshot written to ")) << typed.err;
}

}  // namespace
