// The set-up dialog driven by injected events under the offscreen driver: cancel, an
// empty name, creating a game, and joining a listed one; its picture is presented.
#include <gtest/gtest.h>

#include <cstdlib>

#include "basic/ks_error.h"
#include "basic/ks_str.h"
#include "multiplay/multiplay_state.h"
#include "multiplay/setup_dialog.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/message_box.h"
#include "platform/presented_picture.h"
#include "platform/window.h"
#include "runtime/modules.h"
#include "tests/host/recording_debugger.h"
#include "tests/multiplay/peer_process.h"

namespace {

constexpr uint32_t kDeadlineMs = 90000;

void key(int code) {
  HostEvent e;
  e.kind = HostEventKind::KeyDown;
  e.code = code;
  injectHostEvent(e);
  e.kind = HostEventKind::KeyUp;
  injectHostEvent(e);
}

void click(const DialogRect& r) {
  HostEvent e;
  e.kind = HostEventKind::MouseDown;
  e.button = 1;
  e.x = r.x + r.w / 2;
  e.y = r.y + r.h / 2;
  injectHostEvent(e);
  e.kind = HostEventKind::MouseUp;
  injectHostEvent(e);
}

int indexOf(const std::vector<std::string>& items, const std::string& item) {
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i] == item) {
      return int(i);
    }
  }
  return -1;
}

// Each step looks at the dialog and may act; the script moves to the next step when a
// step returns true. Past the deadline the dialog is cancelled and the test fails.
class SetupDialogTest : public HostTest {
 protected:
  using Step = std::function<bool(const SetupDialogView&)>;

  void SetUp() override {
    HostTest::SetUp();
    currentRuntime = runtime;
    setenv("KS_NETPLAY_QUERY_PORT", std::to_string(freeUdpPort()).c_str(), 1);
    setMessageBoxTestAnswer(MessageBoxAnswer::Ok);
    capturePresentedPictures(true);
    ASSERT_TRUE(multiplay_create());
  }
  void TearDown() override {
    setSetupDialogTestHook(nullptr);
    multiplay_destroy();
    capturePresentedPictures(false);
    unsetenv("KS_NETPLAY_QUERY_PORT");
    currentRuntime = nullptr;
    HostTest::TearDown();
  }

  int32_t runScript(std::vector<Step> steps) {
    size_t next = 0;
    const uint32_t start = monotonicMillis();
    bool waiting = false;  // an action was taken; wait for the dialog to show its effect
    setSetupDialogTestHook([&](const SetupDialogView& v) {
      view = v;
      if (monotonicMillis() - start > kDeadlineMs) {
        ADD_FAILURE() << "dialog script stuck at step " << next;
        key(1);
        return;
      }
      if (next < steps.size() && !waiting && steps[next](v)) {
        ++next;
      }
      (void)waiting;
    });
    const int32_t code = multiplaycmd::startNetGame();
    EXPECT_EQ(next, steps.size()) << "steps not all taken";
    return code;
  }

  // Opens the drop-down and picks the loopback connection (never the broadcast one).
  static std::vector<Step> chooseThisComputer() {
    return {
        [](const SetupDialogView& v) {
          click(v.geometry.connection);
          return true;
        },
        [](const SetupDialogView& v) {
          if (!v.dropDownOpen) {
            return false;
          }
          const int i = indexOf(v.connections, "This computer (loopback)");
          EXPECT_GE(i, 1);
          click(v.geometry.connectionRow(i));
          return true;
        },
        [](const SetupDialogView& v) { return v.createEnabled && v.nameEnabled; },
    };
  }

  SetupDialogView view;
};

TEST_F(SetupDialogTest, EscapeCancelsWithNothingStarted) {
  const int32_t code = runScript({
      [](const SetupDialogView& v) {
        EXPECT_EQ(v.connections.at(0), "<no connection>");
        EXPECT_EQ(v.connection, 0);
        EXPECT_FALSE(v.createEnabled);
        EXPECT_FALSE(v.nameEnabled);
        EXPECT_FALSE(v.gamesEnabled);
        key(1);
        return true;
      },
  });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(multiplayState.session, nullptr);
  // The dialog was shown at its template's size in the face colour.
  const PresentedPicture picture = lastPresentedPicture();
  ASSERT_EQ(picture.width, view.geometry.width);
  ASSERT_EQ(picture.height, view.geometry.height);
  EXPECT_GT(picture.width, 190);
  EXPECT_EQ(picture.at(2, 2), kDialogFace);
  const DialogRect& cancel = view.geometry.cancel;
  EXPECT_EQ(picture.at(cancel.x, cancel.y), kDialogHighlight);  // a raised button's edge
}

TEST_F(SetupDialogTest, CancelButtonCancels) {
  const int32_t code = runScript({
      [](const SetupDialogView& v) {
        click(v.geometry.cancel);
        return true;
      },
  });
  EXPECT_EQ(code, 0);
}

TEST_F(SetupDialogTest, EmptyNameAsksForOneAndStaysOpen) {
  std::vector<Step> steps = chooseThisComputer();
  const int boxesBefore = messageBoxCount();
  steps.push_back([](const SetupDialogView& v) {
    EXPECT_EQ(v.games, std::vector<std::string>{"<no games found>"});
    EXPECT_FALSE(v.gamesEnabled);
    click(v.geometry.create);
    return true;
  });
  steps.push_back([boxesBefore](const SetupDialogView&) {
    if (messageBoxCount() == boxesBefore) {
      return false;
    }
    EXPECT_EQ(lastMessageBox().text, "Please enter a name for the new game");
    EXPECT_EQ(lastMessageBox().caption, "DirectPlay Request");
    EXPECT_TRUE(lastMessageBox().topmost);
    EXPECT_FALSE(lastMessageBox().warningIcon);
    key(1);
    return true;
  });
  EXPECT_EQ(runScript(steps), 0);
  EXPECT_EQ(multiplayState.session, nullptr);
}

TEST_F(SetupDialogTest, TypedNameCreatesAGameThatOthersFind) {
  std::vector<Step> steps = chooseThisComputer();
  steps.push_back([](const SetupDialogView& v) {
    click(v.geometry.name);
    HostEvent shift;
    shift.kind = HostEventKind::KeyDown;
    shift.code = 42;
    injectHostEvent(shift);
    key(35);  // H
    shift.kind = HostEventKind::KeyUp;
    injectHostEvent(shift);
    key(18);  // e
    key(30);  // a
    key(14);  // Backspace
    key(38);  // l
    key(38);  // l
    key(24);  // o
    return true;
  });
  steps.push_back([](const SetupDialogView& v) {
    if (v.name != "Hello") {
      return false;
    }
    key(28);  // Enter in the name field creates
    return true;
  });
  EXPECT_EQ(runScript(steps), 2);
  ASSERT_NE(multiplayState.session, nullptr);
  EXPECT_TRUE(multiplayState.host);
  const auto found = findSessions(QueryTarget::ThisComputer, "", 1500);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].name, "Hello");
}

TEST_F(SetupDialogTest, DoubleClickOnAListedGameJoinsIt) {
  std::unique_ptr<NetSession> listed = NetSession::host("listed game");
  ASSERT_NE(listed, nullptr);
  const uint32_t there = listed->createPlayer("there");
  std::vector<Step> steps = chooseThisComputer();
  steps.push_back([](const SetupDialogView& v) {
    const int i = indexOf(v.games, "listed game");
    if (i < 0 || !v.gamesEnabled) {
      return false;  // refreshed every second until it answers
    }
    click(v.geometry.gamesRow(i));
    click(v.geometry.gamesRow(i));
    return true;
  });
  EXPECT_EQ(runScript(steps), 1);
  // KS_TEST_DIALOG_PNG keeps the dialog's last picture, to look at.
  if (const char* file = std::getenv("KS_TEST_DIALOG_PNG")) {
    writePicturePng(file, lastPresentedPicture());
  }
  ASSERT_NE(multiplayState.session, nullptr);
  EXPECT_FALSE(multiplayState.host);
  EXPECT_EQ(multiplaycmd::recvNetMsg(), 1);
  EXPECT_EQ(multiplaycmd::netMsgType(), 100);
  EXPECT_EQ(multiplaycmd::netMsgFrom(), int32_t(there));
  EXPECT_EQ(ksStrTake(multiplaycmd::netPlayerName(int32_t(there))), "there");
}

}  // namespace
