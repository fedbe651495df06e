// The display adapter on a real X server (Xvfb, 1152 x 864, one mode): a driver that
// reports its size, the exact display-mode path of full-screen, and real windows.
// Skipped when Xvfb is not installed.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "platform/display.h"
#include "platform/window.h"

extern char** environ;

namespace {

constexpr int kScreenWidth = 1152;
constexpr int kScreenHeight = 864;

pid_t server = -1;

bool startServer() {
  if (access("/usr/bin/Xvfb", X_OK) != 0) {
    return false;
  }
  const int number = 140 + getpid() % 50;
  const std::string display = ":" + std::to_string(number);
  const std::string screen = std::to_string(kScreenWidth) + "x" + std::to_string(kScreenHeight) + "x24";
  const char* argv[] = {"/usr/bin/Xvfb", display.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp", nullptr};
  if (posix_spawn(&server, argv[0], nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
    server = -1;
    return false;
  }
  const std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
  for (int i = 0; i < 100 && access(socket.c_str(), F_OK) != 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  setenv("DISPLAY", display.c_str(), 1);
  setenv("SDL_VIDEODRIVER", "x11", 1);
  return access(socket.c_str(), F_OK) == 0;
}

class X11DisplayTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ready = startServer() && platformStartVideo();
    if (ready) {
      // platformStartVideo falls back to the offscreen driver, whose one screen is 1024 x 768.
      const auto modes = listDisplayDrivers(true)[0].modes;
      ready = !modes.empty() && modes.back().width == kScreenWidth;
    }
  }
  static void TearDownTestSuite() {
    platformStopVideo();
    if (server > 0) {
      kill(server, SIGTERM);
      waitpid(server, nullptr, 0);
    }
  }
  void SetUp() override {
    if (!ready) {
      GTEST_SKIP() << "no Xvfb server";
    }
    window = std::make_unique<PlatformWindow>("display x11 test", false);
  }
  void TearDown() override { window.reset(); }

  static bool ready;
  std::unique_ptr<PlatformWindow> window;
};

bool X11DisplayTest::ready = false;

std::unique_ptr<Surface> gradient(int width, int height, int depth) {
  const SurfaceFormat format =
      depth == 32 ? SurfaceFormat::xrgb8888() : depth == 24 ? SurfaceFormat::rgb888() : SurfaceFormat::rgb565();
  auto s = Surface::create(width, height, format, SurfaceMemory::System);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint32_t v = uint32_t(x) * 2654435761u ^ uint32_t(y) * 40503u;
      std::memcpy(s->pixels() + y * s->pitch() + x * s->format().bytesPerPixel(), &v,
                  size_t(s->format().bytesPerPixel()));
    }
  }
  return s;
}

TEST_F(X11DisplayTest, DriverOffersItsScreenSizeAndTheStandardSizesThatFitInside) {
  std::vector<DisplayModeInfo> want;
  for (const auto& [w, h] : {std::pair{640, 480}, {800, 600}, {1024, 768}, {kScreenWidth, kScreenHeight}}) {
    for (int depth : {16, 24, 32}) {
      want.push_back({w, h, depth});
    }
  }
  EXPECT_EQ(listDisplayDrivers(true)[0].modes, want);
}

TEST_F(X11DisplayTest, FullScreenAtAReportedSizeSwitchesModeAndOtherSizesDoNot) {
  window->resize(320, 240);
  window->move(50, 60);
  window->show();
  int x0 = 0;
  int y0 = 0;
  window->position(x0, y0);

  // What full-screen shows is checked headless: with no window manager on Xvfb, nothing
  // resizes the X window to the screen.
  auto display = PlatformDisplay::openFullScreen(*window, 0, kScreenWidth, kScreenHeight, 24);
  ASSERT_TRUE(display);
  EXPECT_TRUE(display->modeSwitched());
  const auto picture = gradient(kScreenWidth, kScreenHeight, 24);
  EXPECT_EQ(display->present(*picture, false), 0);
  display.reset();

  display = PlatformDisplay::openFullScreen(*window, 0, 640, 480, 32);
  ASSERT_TRUE(display);
  EXPECT_FALSE(display->modeSwitched());
  display.reset();

  int w = 0;
  int h = 0;
  window->clientSize(w, h);
  EXPECT_EQ(w, 320);
  EXPECT_EQ(h, 240);
  int x = 0;
  int y = 0;
  window->position(x, y);
  EXPECT_EQ(x, x0);
  EXPECT_EQ(y, y0);
  EXPECT_TRUE(window->visible());
}

TEST_F(X11DisplayTest, WindowsAreCentredFramedAsAskedAndShowThePicture) {
  auto display = PlatformDisplay::openWindow(*window, 320, 200, false, desktopSurfaceFormat());
  ASSERT_TRUE(display);
  EXPECT_TRUE(window->visible());
  EXPECT_FALSE(window->resizable());
  int x = 0;
  int y = 0;
  window->position(x, y);
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  window->frameSize(left, top, right, bottom);
  EXPECT_EQ(x, (kScreenWidth - 320) / 2);
  EXPECT_EQ(y, std::max((kScreenHeight - 200) / 2, top));
  const auto picture = gradient(320, 200, 32);
  ASSERT_EQ(display->present(*picture, true), 0);
  EXPECT_EQ(display->readBackOutput(), pictureFromSurface(*picture));
  display.reset();

  display = PlatformDisplay::openWindow(*window, 160, 100, true, desktopSurfaceFormat());
  ASSERT_TRUE(display);
  EXPECT_TRUE(window->resizable());
  int w = 0;
  int h = 0;
  window->clientSize(w, h);
  EXPECT_EQ(w, 320);
  EXPECT_EQ(h, 200);
}

}  // namespace
