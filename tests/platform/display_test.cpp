// The display adapter on the headless (offscreen) driver: the driver list, windowed and
// full-screen displays and what they do to the window, presenting every pixel format
// (read back through the capture seam and from the renderer), and the vertical blank.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <thread>

#include "platform/display.h"
#include "platform/window.h"

namespace {

// The offscreen driver's one screen.
constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 768;

bool headless() {
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  return driver && std::string(driver) == "offscreen";
}

void put(Surface& s, int x, int y, uint32_t native) {
  const int bytes = s.format().bytesPerPixel();
  std::memcpy(s.pixels() + y * s.pitch() + x * bytes, &native, size_t(bytes));
}

// Native pixels with every bit pattern mixed in, padding bits included.
uint32_t pattern(int x, int y) {
  return uint32_t(x) * 0x9E3779B1u ^ uint32_t(y) * 0x85EBCA77u ^ 0x5A5A5A5Au;
}

// The ARGB a native pixel stands for: channels shifted up with zero low bits, as surface
// copies and canvas pixel readers expand them.
uint32_t expand(const SurfaceFormat& f, uint32_t p) {
  if (f == SurfaceFormat::rgb565()) {
    return 0xFF000000u | ((p >> 11) & 31) << 19 | ((p >> 5) & 63) << 10 | (p & 31) << 3;
  }
  if (f == SurfaceFormat::rgb555()) {
    return 0xFF000000u | ((p >> 10) & 31) << 19 | ((p >> 5) & 31) << 11 | (p & 31) << 3;
  }
  return 0xFF000000u | (p & 0x00FFFFFFu);  // 24-bit B,G,R bytes read little-endian, or X8R8G8B8
}

std::unique_ptr<Surface> patterned(int width, int height, const SurfaceFormat& format) {
  auto s = Surface::create(width, height, format, SurfaceMemory::System);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      put(*s, x, y, pattern(x, y));
    }
  }
  return s;
}

PresentedPicture expected(const Surface& s) {
  PresentedPicture p;
  p.width = s.width();
  p.height = s.height();
  const uint32_t mask = s.format().depth == 32 ? 0xFFFFFFFFu : (1u << s.format().depth) - 1;
  for (int y = 0; y < s.height(); ++y) {
    for (int x = 0; x < s.width(); ++x) {
      p.pixels.push_back(expand(s.format(), pattern(x, y) & mask));
    }
  }
  return p;
}

struct WindowState {
  int x, y, width, height;
  bool visible, resizable;
  bool operator==(const WindowState&) const = default;
};

WindowState stateOf(const PlatformWindow& w) {
  WindowState s{};
  w.position(s.x, s.y);
  w.clientSize(s.width, s.height);
  s.visible = w.visible();
  s.resizable = w.resizable();
  return s;
}

class DisplayTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(platformStartVideo()); }
  void SetUp() override { window = std::make_unique<PlatformWindow>("display test", false); }
  void TearDown() override {
    capturePresentedPictures(false);
    window.reset();
  }

  std::unique_ptr<PlatformWindow> window;
};

using DisplayDriversTest = DisplayTest;

TEST_F(DisplayDriversTest, ListIsStableSortedWithoutDuplicatesAndEverySizeAtThreeDepths) {
  const auto drivers = listDisplayDrivers(false);
  ASSERT_FALSE(drivers.empty());
  const auto primary = listDisplayDrivers(true);
  ASSERT_EQ(primary.size(), 1u);
  EXPECT_EQ(primary[0].name, drivers[0].name);
  EXPECT_EQ(primary[0].modes, drivers[0].modes);
  const auto again = listDisplayDrivers(false);
  ASSERT_EQ(again.size(), drivers.size());
  for (size_t d = 0; d < drivers.size(); ++d) {
    EXPECT_FALSE(drivers[d].name.empty());
    EXPECT_EQ(again[d].modes, drivers[d].modes);
    const auto& modes = drivers[d].modes;
    ASSERT_FALSE(modes.empty());
    ASSERT_EQ(modes.size() % 3, 0u);
    for (size_t i = 0; i < modes.size(); i += 3) {
      for (size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(modes[i + k].width, modes[i].width);
        EXPECT_EQ(modes[i + k].height, modes[i].height);
        EXPECT_EQ(modes[i + k].depth, 16 + 8 * int(k));
      }
      if (i > 0) {
        const auto& before = modes[i - 3];
        EXPECT_TRUE(before.width < modes[i].width ||
                    (before.width == modes[i].width && before.height < modes[i].height))
            << before.width << "x" << before.height << " then " << modes[i].width << "x" << modes[i].height;
      }
    }
  }
}

TEST_F(DisplayDriversTest, HeadlessDriverOffersTheStandardSizesUpTo1024x768) {
  if (!headless()) {
    GTEST_SKIP() << "not on the offscreen driver";
  }
  std::vector<DisplayModeInfo> want;
  for (const auto& [w, h] : {std::pair{640, 480}, {800, 600}, {1024, 768}}) {
    for (int depth : {16, 24, 32}) {
      want.push_back({w, h, depth});
    }
  }
  EXPECT_EQ(listDisplayDrivers(true)[0].modes, want);
}

using WindowedDisplayTest = DisplayTest;

TEST_F(WindowedDisplayTest, PlainWindowGetsThePictureSizeCentredAndShown) {
  ASSERT_FALSE(window->visible());
  auto display = PlatformDisplay::openWindow(*window, 320, 200, false, desktopSurfaceFormat());
  ASSERT_TRUE(display);
  EXPECT_TRUE(window->visible());
  int w = 0;
  int h = 0;
  window->clientSize(w, h);
  EXPECT_EQ(w, 320);
  EXPECT_EQ(h, 200);
  if (headless()) {
    int x = 0;
    int y = 0;
    window->position(x, y);
    EXPECT_EQ(x, (kScreenWidth - 320) / 2);
    EXPECT_EQ(y, (kScreenHeight - 200) / 2);
  }
  EXPECT_FALSE(display->fullScreen());
  EXPECT_EQ(display->format(), SurfaceFormat::xrgb8888());
}

TEST_F(WindowedDisplayTest, TallerThanTheScreenKeepsTheTopOnScreen) {
  if (!headless()) {
    GTEST_SKIP() << "needs the offscreen driver's known screen";
  }
  auto display = PlatformDisplay::openWindow(*window, 300, kScreenHeight + 100, false, desktopSurfaceFormat());
  ASSERT_TRUE(display);
  int x = 0;
  int y = 0;
  window->position(x, y);
  EXPECT_EQ(x, (kScreenWidth - 300) / 2);
  EXPECT_EQ(y, 0);
}

TEST_F(WindowedDisplayTest, ScaledWindowKeepsItsClientSizeAndStretchesThePicture) {
  window->resize(640, 400);
  window->show();
  auto display = PlatformDisplay::openWindow(*window, 320, 200, true, desktopSurfaceFormat());
  ASSERT_TRUE(display);
  int w = 0;
  int h = 0;
  window->clientSize(w, h);
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 400);

  const auto picture = patterned(320, 200, SurfaceFormat::xrgb8888());
  ASSERT_EQ(display->present(*picture, false), 0);
  const PresentedPicture shown = display->readBackOutput();
  ASSERT_EQ(shown.width, 640);
  ASSERT_EQ(shown.height, 400);
  const PresentedPicture want = expected(*picture);
  int wrong = 0;
  for (int y = 0; y < 400; ++y) {
    for (int x = 0; x < 640; ++x) {
      wrong += shown.at(x, y) != want.at(x / 2, y / 2);
    }
  }
  EXPECT_EQ(wrong, 0);
}

TEST_F(WindowedDisplayTest, ScaledWindowNeverShownStartsAtThePictureSize) {
  auto display = PlatformDisplay::openWindow(*window, 320, 200, true, desktopSurfaceFormat());
  ASSERT_TRUE(display);
  int w = 0;
  int h = 0;
  window->clientSize(w, h);
  EXPECT_EQ(w, 320);
  EXPECT_EQ(h, 200);
}

TEST_F(WindowedDisplayTest, OpenCloseAndOpenAgainEachTimeWithAFreshRenderer) {
  // A window holds one renderer at a time: a display that kept its renderer would make
  // the next open fail.
  const auto picture = patterned(64, 48, SurfaceFormat::xrgb8888());
  for (int round = 0; round < 4; ++round) {
    auto display = PlatformDisplay::openWindow(*window, 64, 48, round % 2 == 1, desktopSurfaceFormat());
    ASSERT_TRUE(display) << "round " << round;
    EXPECT_EQ(display->present(*picture, false), 0);
  }
  auto fullScreen = PlatformDisplay::openFullScreen(*window, 0, 64, 48, 32);
  ASSERT_TRUE(fullScreen);
  fullScreen.reset();
  EXPECT_TRUE(PlatformDisplay::openWindow(*window, 64, 48, false, desktopSurfaceFormat()));
}

TEST_F(WindowedDisplayTest, FailedOpensLeaveTheWindowAsItWas) {
  window->resize(200, 100);
  window->move(10, 20);
  window->show();
  const WindowState before = stateOf(*window);
  const SurfaceFormat bgr565{16, 0, 0x001F, 0x07E0, 0xF800};

  EXPECT_FALSE(PlatformDisplay::openWindow(*window, 0, 100, false, desktopSurfaceFormat()));
  EXPECT_FALSE(PlatformDisplay::openWindow(*window, 100, -1, true, desktopSurfaceFormat()));
  EXPECT_FALSE(PlatformDisplay::openWindow(*window, 100, 100, false, bgr565));
  EXPECT_EQ(stateOf(*window), before);
  // Fails only once the frame has changed and the renderer exists: no texture that large.
  EXPECT_FALSE(PlatformDisplay::openWindow(*window, 40000, 40000, true, desktopSurfaceFormat()));
  EXPECT_EQ(stateOf(*window), before);

  EXPECT_FALSE(PlatformDisplay::openFullScreen(*window, -1, 640, 480, 32));
  EXPECT_FALSE(PlatformDisplay::openFullScreen(*window, int(listDisplayDrivers(false).size()), 640, 480, 32));
  EXPECT_FALSE(PlatformDisplay::openFullScreen(*window, 0, 640, 480, 0));
  EXPECT_FALSE(PlatformDisplay::openFullScreen(*window, 0, 640, 480, 8));
  EXPECT_FALSE(PlatformDisplay::openFullScreen(*window, 0, 40000, 40000, 32));
  EXPECT_EQ(stateOf(*window), before);

  EXPECT_TRUE(PlatformDisplay::openWindow(*window, 100, 100, false, desktopSurfaceFormat()));
}

struct FormatCase {
  const char* name;
  SurfaceFormat format;
  uint32_t exactBits;  // of a read-back pixel: 5-6-5 expansion below the top bits is SDL's
};

class PresentTest : public DisplayTest, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(PresentTest, PictureArrivesExactlyAndIsCapturedAsArgb) {
  const SurfaceFormat format = GetParam().format;
  auto display = PlatformDisplay::openWindow(*window, 67, 41, false, format);
  ASSERT_TRUE(display);
  const auto picture = patterned(67, 41, format);
  const PresentedPicture want = expected(*picture);

  EXPECT_EQ(display->present(*picture, false), 0);
  EXPECT_TRUE(lastPresentedPicture().empty()) << "capture is off by default";

  capturePresentedPictures(true);
  ASSERT_EQ(display->present(*picture, false), 0);
  EXPECT_EQ(lastPresentedPicture(), want);

  const PresentedPicture shown = display->readBackOutput();
  ASSERT_EQ(shown.width, 67);
  ASSERT_EQ(shown.height, 41);
  int wrong = 0;
  for (size_t i = 0; i < want.pixels.size(); ++i) {
    wrong += (shown.pixels[i] & GetParam().exactBits) != (want.pixels[i] & GetParam().exactBits);
  }
  EXPECT_EQ(wrong, 0);

  // A picture of another size or format is refused and leaves the capture alone.
  const auto small = patterned(66, 41, format);
  EXPECT_EQ(display->present(*small, false), kPresentWrongPicture);
  const SurfaceFormat other = format == SurfaceFormat::xrgb8888() ? SurfaceFormat::rgb565() : SurfaceFormat::xrgb8888();
  const auto otherFormat = patterned(67, 41, other);
  EXPECT_EQ(display->present(*otherFormat, true), kPresentWrongPicture);
  EXPECT_EQ(lastPresentedPicture(), want);

  capturePresentedPictures(false);
  EXPECT_TRUE(lastPresentedPicture().empty());
  EXPECT_EQ(display->present(*picture, true), 0);
  EXPECT_TRUE(lastPresentedPicture().empty());
}

INSTANTIATE_TEST_SUITE_P(Formats, PresentTest,
                         ::testing::Values(FormatCase{"rgb565", SurfaceFormat::rgb565(), 0xFFF8FCF8},
                                           FormatCase{"rgb555", SurfaceFormat::rgb555(), 0xFFF8F8F8},
                                           FormatCase{"rgb888", SurfaceFormat::rgb888(), 0xFFFFFFFF},
                                           FormatCase{"xrgb8888", SurfaceFormat::xrgb8888(), 0xFFFFFFFF}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(WindowedDisplayTest, RepaintShowsTheLastPictureAndBlackBeforeAny) {
  auto display = PlatformDisplay::openWindow(*window, 40, 30, false, desktopSurfaceFormat());
  ASSERT_TRUE(display);
  EXPECT_EQ(display->repaint(), 0);
  const PresentedPicture black = display->readBackOutput();
  ASSERT_EQ(black.pixels.size(), 40u * 30u);
  EXPECT_EQ(std::set<uint32_t>(black.pixels.begin(), black.pixels.end()), std::set<uint32_t>{0xFF000000u});

  const auto picture = patterned(40, 30, SurfaceFormat::xrgb8888());
  ASSERT_EQ(display->present(*picture, false), 0);
  EXPECT_EQ(display->repaint(), 0);
  EXPECT_EQ(display->readBackOutput(), expected(*picture));
}

using FullScreenTest = DisplayTest;

// Checks a full-screen read-back: the picture scaled by `scale` at (left, top), black around.
void expectLetterboxed(const PresentedPicture& shown, const PresentedPicture& picture, int scale, int left, int top) {
  int wrong = 0;
  for (int y = 0; y < shown.height; ++y) {
    for (int x = 0; x < shown.width; ++x) {
      const int px = x - left;
      const int py = y - top;
      const bool inside = px >= 0 && py >= 0 && px < picture.width * scale && py < picture.height * scale;
      const uint32_t want = inside ? picture.at(px / scale, py / scale) : 0xFF000000u;
      wrong += shown.at(x, y) != want;
    }
  }
  EXPECT_EQ(wrong, 0);
}

TEST_F(FullScreenTest, OtherSizesFitTheScreenWithBlackBarsAndCloseRestoresTheWindow) {
  if (!headless()) {
    GTEST_SKIP() << "needs the offscreen driver's known screen";
  }
  window->resize(300, 200);
  window->move(30, 40);
  window->show();
  const WindowState before = stateOf(*window);

  struct Case {
    int width, height, depth, scale, left, top;
  };
  for (const Case c : {Case{256, 384, 32, 2, 256, 0}, Case{512, 256, 16, 2, 0, 128}, Case{1024, 768, 24, 1, 0, 0}}) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
    auto display = PlatformDisplay::openFullScreen(*window, 0, c.width, c.height, c.depth);
    ASSERT_TRUE(display);
    EXPECT_TRUE(display->fullScreen());
    EXPECT_FALSE(display->modeSwitched()) << "the offscreen driver reports no size to switch to";
    int w = 0;
    int h = 0;
    window->clientSize(w, h);
    EXPECT_EQ(w, kScreenWidth);
    EXPECT_EQ(h, kScreenHeight);

    const auto picture = patterned(c.width, c.height, display->format());
    ASSERT_EQ(display->present(*picture, false), 0);
    const PresentedPicture shown = display->readBackOutput();
    ASSERT_EQ(shown.width, kScreenWidth);
    ASSERT_EQ(shown.height, kScreenHeight);
    PresentedPicture want = expected(*picture);
    if (c.depth == 16) {
      for (uint32_t& p : want.pixels) {
        p &= 0xFFF8FCF8;
      }
      PresentedPicture top = shown;
      for (uint32_t& p : top.pixels) {
        p &= 0xFFF8FCF8;
      }
      expectLetterboxed(top, want, c.scale, c.left, c.top);
    } else {
      expectLetterboxed(shown, want, c.scale, c.left, c.top);
    }
    display.reset();
    EXPECT_EQ(stateOf(*window), before);
  }
}

TEST_F(FullScreenTest, HiddenWindowIsHiddenAgainAfterFullScreen) {
  const WindowState before = stateOf(*window);
  ASSERT_FALSE(before.visible);
  auto display = PlatformDisplay::openFullScreen(*window, 0, 640, 480, 32);
  ASSERT_TRUE(display);
  EXPECT_TRUE(window->visible());
  display.reset();
  EXPECT_EQ(stateOf(*window), before);
}

using VerticalBlankTest = DisplayTest;

TEST_F(VerticalBlankTest, WaitEndsAtTheNextPeriodAndScanLineSweepsItsRange) {
  auto display = PlatformDisplay::openWindow(*window, 320, 240, false, desktopSurfaceFormat());
  ASSERT_TRUE(display);
  if (headless()) {
    EXPECT_EQ(display->refreshRate(), 60) << "the offscreen driver reports no rate";
  }
  ASSERT_GT(display->refreshRate(), 0);
  const auto period = std::chrono::microseconds(1000000 / display->refreshRate());
  using Clock = std::chrono::steady_clock;

  // Once aligned, each wait lasts one whole period; none lasts two. The best of a few
  // tries absorbs a busy machine's scheduling delays.
  display->waitVerticalBlank();
  auto shortest = std::chrono::microseconds::max();
  auto longest = std::chrono::microseconds::zero();
  for (int i = 0; i < 5; ++i) {
    const auto start = Clock::now();
    display->waitVerticalBlank();
    const auto took = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
    shortest = std::min(shortest, took);
    longest = std::max(longest, took);
  }
  EXPECT_GE(longest, period * 9 / 10);
  EXPECT_LT(shortest, period * 2);

  const int lines = 240 + display->blankLines();
  EXPECT_EQ(display->blankLines(), 240 * 45 / 480);
  std::set<int> seen;
  for (int i = 0; i < 200; ++i) {
    const int line = display->scanLine();
    ASSERT_GE(line, 0);
    ASSERT_LT(line, lines);
    seen.insert(line / 20);
    std::this_thread::sleep_for(std::chrono::microseconds(397));
  }
  EXPECT_GE(seen.size(), 5u) << "the scan line should move through the period";
}

}  // namespace
