// The "Start Multiplayer Game" dialog: a modal window of the runtime's own, drawn on its
// canvases with its fonts, that lists the games of a chosen connection and creates or
// joins one. It pumps the window's events itself while it is open; the program waits.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "multiplay/dialog_controls.h"
#include "platform/net_session.h"

struct SetupDialogResult {
  int32_t code = 0;  // 0 cancelled or failed, 1 joined, 2 created
  std::unique_ptr<NetSession> session;
};

SetupDialogResult runSetupDialog();

// Which control has the keyboard.
enum class DialogFocus { Connection, Games, Name, Create, Cancel };

// What the dialog shows, for the test hook.
struct SetupDialogView {
  DialogGeometry geometry;
  unsigned windowId = 0;
  std::vector<std::string> connections;
  int32_t connection = 0;
  bool dropDownOpen = false;
  std::vector<std::string> games;
  bool gamesEnabled = false;
  int32_t gameSelected = -1;
  std::string name;
  bool nameEnabled = false;
  bool createEnabled = false;
  DialogFocus focus = DialogFocus::Connection;
};

// Test seam: called on every turn of the dialog's loop, after the events of that turn,
// so a test can look at the dialog and inject the next events.
void setSetupDialogTestHook(std::function<void(const SetupDialogView&)> hook);
