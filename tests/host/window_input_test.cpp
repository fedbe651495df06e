// Window events feeding the input devices while windowed, and full-screen
// activation driving pause and resume.
#include "tests/host/recording_debugger.h"

namespace {

struct FakeInput final : InputHost {
  void keyChanged(int code, bool pressed) override { log.push_back((pressed ? "down " : "up ") + std::to_string(code)); }
  void mouseMoved(int x, int y) override { log.push_back("move " + std::to_string(x) + " " + std::to_string(y)); }
  void mouseButtonChanged(int button, bool pressed) override {
    log.push_back((pressed ? "press " : "release ") + std::to_string(button));
  }
  void mouseWheel(int delta) override { log.push_back("wheel " + std::to_string(delta)); }
  void acquireDevices() override { ++acquired; }
  void releaseDevices() override { ++released; }
  std::vector<std::string> log;
  int acquired = 0;
  int released = 0;
};

struct FakeGraphics final : GraphicsHost {
  void paint() override { ++paints; }
  void backupSurfaces() override { ++backups; }
  void restoreSurfaces() override { ++restores; }
  int width() const override { return 640; }
  int height() const override { return 480; }
  int paints = 0;
  int backups = 0;
  int restores = 0;
};

class WindowInput : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    input = new FakeInput;
    graphics = new FakeGraphics;
    runtime->input = input;        // the runtime owns and deletes them
    runtime->graphics = graphics;
    hostState.displayKind = DisplayKind::Window;
  }
  void send(HostEvent event) {
    injectHostEvent(event);
    runtime->pollEvents();
  }
  HostEvent key(HostEventKind kind, int code, bool repeat = false, bool alt = false) {
    HostEvent e{kind};
    e.code = code;
    e.repeat = repeat;
    e.systemKey = alt;
    return e;
  }
  FakeInput* input = nullptr;
  FakeGraphics* graphics = nullptr;
};

TEST_F(WindowInput, HeldKeyGivesOnePressAndRightCtrlIs157) {
  send(key(HostEventKind::KeyDown, 157));
  send(key(HostEventKind::KeyDown, 157, true));
  send(key(HostEventKind::KeyDown, 157, true));
  send(key(HostEventKind::KeyUp, 157));
  send(key(HostEventKind::KeyDown, 1));
  EXPECT_EQ(input->log, (std::vector<std::string>{"down 157", "up 157", "down 1"}));
}

TEST_F(WindowInput, ScaledWindowMapsClientCoordinatesToTheGraphicsSize) {
  hostState.displayKind = DisplayKind::ScaledWindow;
  runtime->window().resize(1280, 960);
  HostEvent move{HostEventKind::MouseMove};
  move.x = 1279;
  move.y = 959;
  send(move);
  move.x = -5;
  move.y = 2000;
  send(move);
  EXPECT_EQ(input->log, (std::vector<std::string>{"move 639 479", "move 0 479"}));
}

TEST_F(WindowInput, ButtonsAndWheel) {
  HostEvent press{HostEventKind::MouseDown};
  press.button = 2;
  send(press);
  HostEvent release{HostEventKind::MouseUp};
  release.button = 2;
  send(release);
  HostEvent wheel{HostEventKind::MouseWheel};
  wheel.wheel = -240;
  send(wheel);
  EXPECT_EQ(input->log, (std::vector<std::string>{"press 2", "release 2", "wheel -240"}));
}

TEST_F(WindowInput, NothingReachesTheDevicesWhilePaused) {
  postHostEvent(HostEventKind::Pause);
  injectHostEvent(key(HostEventKind::KeyDown, 30));
  postHostEvent(HostEventKind::Resume);
  runtime->pollEvents();
  EXPECT_TRUE(input->log.empty());
}

TEST_F(WindowInput, PaintPresentsOnlyInTheWindowedKinds) {
  send(HostEvent{HostEventKind::Paint});
  hostState.displayKind = DisplayKind::FullScreen;
  send(HostEvent{HostEventKind::Paint});
  EXPECT_EQ(graphics->paints, 1);
}

TEST_F(WindowInput, AltTabAwayFromFullScreenPausesAndSwitchingBackResumes) {
  hostState.displayKind = DisplayKind::FullScreen;
  injectHostEvent(key(HostEventKind::KeyUp, 15, false, true));
  injectHostEvent(HostEvent{HostEventKind::Activate});
  runtime->pollEvents();
  EXPECT_EQ(debugger.calls, (std::vector<std::string>{"pause", "resume"}));
  EXPECT_EQ(graphics->backups, 1);
  EXPECT_EQ(graphics->restores, 1);
  EXPECT_EQ(input->released, 1);
  EXPECT_GE(input->acquired, 2);  // on resume and after the activation
  EXPECT_TRUE(input->log.empty());  // full-screen input does not come from window events
}

TEST_F(WindowInput, LosingActivationInFullScreenSuspends) {
  hostState.displayKind = DisplayKind::FullScreen;
  injectHostEvent(HostEvent{HostEventKind::Deactivate});
  postHostEvent(HostEventKind::Resume);
  runtime->pollEvents();
  EXPECT_EQ(debugger.calls, (std::vector<std::string>{"pause", "resume"}));
}

}  // namespace
