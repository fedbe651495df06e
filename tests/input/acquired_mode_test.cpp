// Full-screen displays hold the keyboard and mouse: the devices are acquired when the
// display opens or the program is activated, read directly (so the window's own pump
// loses nothing), and released when it closes or is paused. Every switch starts the
// devices' state afresh.
#include "tests/input/input_fixture.h"

using namespace gfxcmd;
using namespace inputcmd;

namespace {

class AcquiredMode : public InputTest {
 protected:
  void openFullScreen() {
    graphics(640, 480, 32, 1);
    ASSERT_EQ(hostState.displayKind, DisplayKind::FullScreen);
  }
};

constexpr int kA = 30;
constexpr int kB = 48;

TEST_F(AcquiredMode, OpeningAFullScreenDisplayAcquiresAndClosingItReleases) {
  key(kA, true);
  moveTo(100, 100);
  EXPECT_EQ(keyDown(kA), 1);
  EXPECT_FALSE(manager().acquiredMode());
  openFullScreen();
  EXPECT_TRUE(manager().acquiredMode());
  EXPECT_TRUE(manager().keyboard().acquired());
  EXPECT_TRUE(manager().mouse().acquired());
  // Keys held across the switch read as up and the mouse starts again at 0.
  EXPECT_EQ(keyDown(kA), 0);
  EXPECT_EQ(mouseX(), 0);
  key(kB, true);
  EXPECT_EQ(keyDown(kB), 1);
  endGraphics();
  EXPECT_FALSE(manager().acquiredMode());
  EXPECT_FALSE(manager().keyboard().acquired());
  EXPECT_EQ(keyDown(kB), 0);
  // The window's events feed the devices again.
  key(kA, true);
  EXPECT_EQ(keyDown(kA), 1);
}

TEST_F(AcquiredMode, KeysPressedBeforeFlipsPumpReachKeyHit) {
  openFullScreen();
  tap(kA);
  flip(0);  // dispatches the window's queue, keys included
  tap(kA);
  flip(0);
  EXPECT_EQ(keyHit(kA), 2);
  EXPECT_EQ(keyDown(kA), 0);
  EXPECT_EQ(getKey(), 'a');
  EXPECT_EQ(getKey(), 'a');
  EXPECT_EQ(getKey(), 0);
}

TEST_F(AcquiredMode, AutoRepeatsAreNoPresses) {
  openFullScreen();
  key(kA, true);
  autoRepeat(kA);
  autoRepeat(kA);
  EXPECT_EQ(keyHit(kA), 1);
  EXPECT_EQ(keyDown(kA), 1);
}

TEST_F(AcquiredMode, TheMouseStaysOnTheDisplay) {
  openFullScreen();
  moveBy(30, 20);
  EXPECT_EQ(mouseX(), 30);
  EXPECT_EQ(mouseY(), 20);
  moveBy(-5000, 0);
  EXPECT_EQ(mouseX(), 0);
  moveBy(5000, 5000);
  EXPECT_EQ(mouseX(), 639);
  EXPECT_EQ(mouseY(), 479);
  moveBy(-39, -79);
  EXPECT_EQ(mouseX(), 600);
  EXPECT_EQ(mouseY(), 400);
}

TEST_F(AcquiredMode, WheelAndButtonsAreReadFromTheHeldMouse) {
  openFullScreen();
  wheel(2);
  button(1, true);
  flip(0);
  EXPECT_EQ(mouseZ(), 2);
  EXPECT_EQ(mouseDown(1), 1);
  EXPECT_EQ(mouseHit(1), 1);
  button(1, false);
  EXPECT_EQ(mouseDown(1), 0);
  EXPECT_EQ(mouseHit(1), 0);
}

TEST_F(AcquiredMode, MoveMouseInFullScreenSetsThePositionOnly) {
  openFullScreen();
  moveMouse(320, 240);
  moveBy(10, -10);
  EXPECT_EQ(mouseX(), 330);
  EXPECT_EQ(mouseY(), 230);
}

TEST_F(AcquiredMode, LosingActivationReleasesAndResumingAcquiresAgain) {
  openFullScreen();
  key(kA, true);
  EXPECT_EQ(keyDown(kA), 1);
  injectHostEvent(HostEvent{HostEventKind::Deactivate});
  postHostEvent(HostEventKind::Resume);
  runtime->pollEvents();
  EXPECT_EQ(debugger.calls, (std::vector<std::string>{"pause", "resume"}));
  EXPECT_TRUE(manager().acquiredMode());
  EXPECT_EQ(keyDown(kA), 0);
  key(kB, true);
  EXPECT_EQ(keyDown(kB), 1);
}

TEST_F(AcquiredMode, AnInputManagerMadeUnderAFullScreenDisplayStartsAcquired) {
  openFullScreen();
  input_destroy();
  ASSERT_TRUE(input_create());
  EXPECT_TRUE(manager().acquiredMode());
  tap(kB);
  EXPECT_EQ(keyHit(kB), 1);
}

}  // namespace
