// Under a real X server (Xvfb): a running program has a real X11 window with the
// runtime's title, what it draws is what the X server shows, pixel for pixel, in a plain
// and in a scaled window, and keys and clicks sent to the window by xdotool reach the
// program's input commands.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>

#include "tests/programs/process_runner.h"

extern char** environ;

namespace {

const std::string kBin = KS_BIN_DIR;
const std::string kPrograms = KS_PROGRAM_DIR;
const char kTitle[] = "Kestrel Runtime Window";

pid_t spawn(const std::vector<std::string>& argv) {
  std::vector<char*> raw;
  for (const auto& a : argv) {
    raw.push_back(const_cast<char*>(a.c_str()));
  }
  raw.push_back(nullptr);
  pid_t pid = 0;
  return posix_spawnp(&pid, raw[0], nullptr, nullptr, raw.data(), environ) == 0 ? pid : -1;
}

void pause(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// An X window's picture as 0xRRGGBB words, read from an xwd dump (24- or 32-bit
// true-colour Z pixmap).
struct XPicture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> rgb;
  uint32_t at(int x, int y) const { return rgb[size_t(y) * size_t(width) + size_t(x)]; }
};

uint32_t bigEndian(const std::string& b, size_t at) {
  return uint32_t(uint8_t(b[at])) << 24 | uint32_t(uint8_t(b[at + 1])) << 16 | uint32_t(uint8_t(b[at + 2])) << 8 |
         uint32_t(uint8_t(b[at + 3]));
}

bool parseXwd(const std::string& b, XPicture& picture) {
  if (b.size() < 100) {
    return false;
  }
  const uint32_t headerSize = bigEndian(b, 0);
  const uint32_t width = bigEndian(b, 16);
  const uint32_t height = bigEndian(b, 20);
  const uint32_t byteOrder = bigEndian(b, 28);  // 0 least significant byte first
  const uint32_t bitsPerPixel = bigEndian(b, 44);
  const uint32_t bytesPerLine = bigEndian(b, 48);
  const uint32_t colours = bigEndian(b, 76);
  const size_t pixels = size_t(headerSize) + size_t(colours) * 12;
  if (bitsPerPixel != 32 || width == 0 || height == 0 || pixels + size_t(bytesPerLine) * height > b.size()) {
    return false;
  }
  picture.width = int(width);
  picture.height = int(height);
  picture.rgb.clear();
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const size_t at = pixels + size_t(y) * bytesPerLine + size_t(x) * 4;
      uint32_t v = 0;
      for (int i = 0; i < 4; ++i) {
        const uint32_t byte = uint8_t(b[at + size_t(i)]);
        v |= byteOrder == 0 ? byte << (8 * i) : byte << (8 * (3 - i));
      }
      picture.rgb.push_back(v & 0xFFFFFF);
    }
  }
  return true;
}

// The colour the test program gives pixel (x, y) of its 200 x 150 picture.
uint32_t knownColour(int x, int y) {
  return uint32_t(x) << 16 | uint32_t(y) << 8 | uint32_t((x * y) & 255);
}

class RealWindow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (access("/usr/bin/Xvfb", X_OK) != 0 || access("/usr/bin/xwininfo", X_OK) != 0 ||
        access("/usr/bin/xwd", X_OK) != 0) {
      return;
    }
    if (!startServer()) {
      return;
    }
    for (int i = 0; i < 100; ++i) {
      pause(100);
      if (runProcess({"/usr/bin/xwininfo", "-display", display, "-root"}).exitCode == 0) {
        setenv("DISPLAY", display.c_str(), 1);
        setenv("SDL_VIDEODRIVER", "x11", 1);
        return;
      }
    }
  }
  // Starts Xvfb on the first free display number, which it reports on a pipe, so that
  // test processes running side by side never share a server.
  static bool startServer() {
    int report[2];
    if (pipe(report) != 0) {
      return false;
    }
    server = spawn({"/usr/bin/Xvfb", "-displayfd", std::to_string(report[1]), "-screen", "0", "1024x768x24",
                    "-nolisten", "tcp"});
    close(report[1]);
    std::string number;
    pollfd readable{report[0], POLLIN, 0};
    while (server > 0 && number.find('\n') == std::string::npos && poll(&readable, 1, 10000) > 0) {
      char buffer[16];
      const ssize_t n = read(report[0], buffer, sizeof buffer);
      if (n <= 0) {
        break;
      }
      number.append(buffer, size_t(n));
    }
    close(report[0]);
    if (number.find('\n') == std::string::npos) {
      return false;
    }
    display = ":" + number.substr(0, number.find('\n'));
    return true;
  }
  static void TearDownTestSuite() {
    if (server > 0) {
      kill(server, SIGTERM);
      waitpid(server, nullptr, 0);
    }
  }
  void SetUp() override {
    if (server <= 0 || getenv("DISPLAY") == nullptr) {
      GTEST_SKIP() << "Xvfb, xwininfo or xwd is not installed, or the server did not start";
    }
  }
  static bool windowExists() {
    return runProcess({"/usr/bin/xwininfo", "-display", display, "-root", "-tree"}).out.find(
               std::string("\"") + kTitle + "\"") != std::string::npos;
  }
  static bool screenshot(XPicture& picture) {
    const std::string file = makeTempDir() + "/window.xwd";
    const ProcessResult shot =
        runProcess({"/usr/bin/xwd", "-display", display, "-name", kTitle, "-silent", "-out", file});
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return shot.exitCode == 0 && parseXwd(bytes, picture);
  }
  // Runs the known picture in `mode` and returns the first screenshot that shows it whole
  // (the picture may take a moment to reach the window); the last one otherwise.
  static XPicture shownPicture(const char* mode, int scale) {
    const pid_t program = spawn({kBin + "/ksrun", "--end-after", "30000", kPrograms + "/known_picture.ksm", mode});
    XPicture picture;
    for (int i = 0; i < 150; ++i) {
      pause(200);
      if (windowExists() && screenshot(picture) && picture.width == 200 * scale &&
          picture.at(picture.width - 1, picture.height - 1) == knownColour(199, 149)) {
        break;
      }
    }
    kill(program, SIGTERM);
    waitpid(program, nullptr, 0);
    return picture;
  }

  // The X window id of the first window with the title, once it is mapped; "" if none
  // shows up within 40 seconds (a loaded, emulated machine starts programs slowly).
  static std::string waitForWindow(const std::string& title) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(40);
    while (std::chrono::steady_clock::now() < deadline) {
      const ProcessResult found = runProcess({"/usr/bin/xdotool", "search", "--onlyvisible", "--name", title});
      if (found.exitCode == 0 && !found.out.empty()) {
        return found.out.substr(0, found.out.find('\n'));
      }
      pause(100);
    }
    return "";
  }
  static void xdotool(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv = {"/usr/bin/xdotool"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const ProcessResult result = runProcess(argv);
    EXPECT_EQ(result.exitCode, 0) << result.err;
  }
  static bool haveXdotool() { return access("/usr/bin/xdotool", X_OK) == 0; }

  // Runs a program of the build and, once its window with the title shows, gives it the
  // focus and sends it `actions` (xdotool calls) as a person would; returns what the
  // program printed, with exit code -2 when no window showed.
  static ProcessResult playProgram(const std::string& program, const std::string& title,
                                   const std::function<void(const std::string& window)>& actions) {
    ProcessResult run;
    std::thread runner([&] { run = runProcess({kBin + "/ksrun", "--end-after", "120000", kPrograms + "/" + program}); });
    const std::string window = waitForWindow(title);
    if (!window.empty()) {
      xdotool({"windowfocus", "--sync", window});
      pause(300);
      actions(window);
    }
    runner.join();
    if (window.empty()) {
      run.exitCode = -2;
    }
    return run;
  }

  static std::string display;
  static pid_t server;
};

std::string RealWindow::display;
pid_t RealWindow::server = -1;

TEST_F(RealWindow, RunningProgramHasAnX11WindowWithTheRuntimeTitle) {
  const pid_t program = spawn({kBin + "/ksrun", "--end-after", "5000", kPrograms + "/delay_forever.ksm"});
  ASSERT_GT(program, 0);
  bool found = false;
  for (int i = 0; i < 40 && !found; ++i) {
    pause(100);
    found = windowExists();
  }
  EXPECT_TRUE(found);
  int status = 0;
  waitpid(program, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(RealWindow, AWindowShowsTheDrawnPicturePixelForPixel) {
  const XPicture picture = shownPicture("2", 1);
  ASSERT_EQ(picture.width, 200);
  ASSERT_EQ(picture.height, 150);
  int wrong = 0;
  for (int y = 0; y < 150; ++y) {
    for (int x = 0; x < 200; ++x) {
      wrong += picture.at(x, y) != knownColour(x, y);
    }
  }
  EXPECT_EQ(wrong, 0);
}

TEST_F(RealWindow, AScaledWindowStretchesThePictureWithNearestSampling) {
  // The scaled window keeps the default window's 400 x 300 client area: each pixel of
  // the picture becomes a 2 x 2 block.
  const XPicture picture = shownPicture("3", 2);
  ASSERT_EQ(picture.width, 400);
  ASSERT_EQ(picture.height, 300);
  int wrong = 0;
  for (int y = 0; y < 300; ++y) {
    for (int x = 0; x < 400; ++x) {
      wrong += picture.at(x, y) != knownColour(x / 2, y / 2);
    }
  }
  EXPECT_EQ(wrong, 0);
}

// The whole path from the X server: key presses with Shift (held down around the key it
// changes), Enter and Escape, then a pointer move and a right click.
TEST_F(RealWindow, KeysAndClicksSentToTheWindowReachInputWaitKeyAndWaitMouse) {
  if (!haveXdotool()) {
    GTEST_SKIP() << "xdotool is not installed";
  }
  const ProcessResult run = playProgram("typed_line.ksm", "Typing test", [](const std::string& window) {
    xdotool({"keydown", "shift"});
    pause(200);
    xdotool({"key", "h"});
    pause(200);
    xdotool({"keyup", "shift"});
    xdotool({"type", "--delay", "60", "i there"});
    xdotool({"key", "--delay", "60", "Return", "Escape"});
    pause(300);
    xdotool({"mousemove", "--window", window, "--sync", "40", "30"});
    pause(300);
    xdotool({"click", "3"});
  });
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.err.find("[log] Typed: Hi there\n"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("[log] Key: 27\n"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("[log] Button: 2 at 40,30\n"), std::string::npos) << run.err;
}

// The example game can be played: the ship flies right while the key is held, Space
// fires, and Escape ends the game, which logs what happened.
TEST_F(RealWindow, StarPatrolIsPlayedWithTheKeyboard) {
  if (!haveXdotool()) {
    GTEST_SKIP() << "xdotool is not installed";
  }
  const ProcessResult run = playProgram("star_patrol.ksm", "Star Patrol", [](const std::string&) {
    pause(200);
    xdotool({"keydown", "Right"});
    pause(1500);
    xdotool({"keyup", "Right"});
    xdotool({"key", "--delay", "150", "space", "space"});
    pause(300);
    xdotool({"key", "Escape"});
  });
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const size_t quit = run.err.find("[log] Quit: score ");
  ASSERT_NE(quit, std::string::npos) << run.err;
  const std::string line = run.err.substr(quit, run.err.find('\n', quit) - quit);
  const int shots = std::stoi(line.substr(line.find("shots fired ") + 12));
  const int moved = std::stoi(line.substr(line.find("ship moved ") + 11));
  EXPECT_GE(shots, 1) << line;
  EXPECT_GT(moved, 0) << line;
}

}  // namespace
