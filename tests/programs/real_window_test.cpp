// Under a real X server (Xvfb), a running program has a real X11 window with the
// runtime's title.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "tests/programs/process_runner.h"

extern char** environ;

namespace {

const std::string kBin = KS_BIN_DIR;
const std::string kPrograms = KS_PROGRAM_DIR;

pid_t spawn(const std::vector<std::string>& argv) {
  std::vector<char*> raw;
  for (const auto& a : argv) {
    raw.push_back(const_cast<char*>(a.c_str()));
  }
  raw.push_back(nullptr);
  pid_t pid = 0;
  return posix_spawnp(&pid, raw[0], nullptr, nullptr, raw.data(), environ) == 0 ? pid : -1;
}

TEST(RealWindow, RunningProgramHasAnX11WindowWithTheRuntimeTitle) {
  if (access("/usr/bin/Xvfb", X_OK) != 0 || access("/usr/bin/xwininfo", X_OK) != 0) {
    GTEST_SKIP() << "Xvfb or xwininfo is not installed";
  }
  const std::string display = ":" + std::to_string(90 + getpid() % 50);
  const pid_t xvfb = spawn({"/usr/bin/Xvfb", display, "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
  ASSERT_GT(xvfb, 0);
  bool serverUp = false;
  for (int i = 0; i < 100 && !serverUp; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    serverUp = runProcess({"/usr/bin/xwininfo", "-display", display, "-root"}).exitCode == 0;
  }
  ASSERT_TRUE(serverUp);

  setenv("DISPLAY", display.c_str(), 1);
  setenv("SDL_VIDEODRIVER", "x11", 1);
  const pid_t program = spawn({kBin + "/ksrun", "--end-after", "5000", kPrograms + "/delay_forever.ksm"});
  ASSERT_GT(program, 0);
  bool found = false;
  for (int i = 0; i < 40 && !found; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const ProcessResult tree = runProcess({"/usr/bin/xwininfo", "-display", display, "-root", "-tree"});
    found = tree.out.find("\"Kestrel Runtime Window\"") != std::string::npos;
  }
  EXPECT_TRUE(found);
  int status = 0;
  waitpid(program, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  kill(xvfb, SIGTERM);
  waitpid(xvfb, nullptr, 0);
}

}  // namespace
