// Message boxes: SDL's when a display is available, otherwise caption and text on
// standard error with the default answer. Tests answer through the seam instead.
#pragma once
#include <optional>
#include <string>

class PlatformWindow;

enum class MessageBoxAnswer { Ok, Cancel };

struct MessageBoxRequest {
  const PlatformWindow* owner = nullptr;  // null: no owner window
  std::string caption;                    // empty: the system default caption
  std::string text;
  bool okCancel = false;                  // OK and Cancel instead of OK alone
  bool warningIcon = false;
  bool errorIcon = false;
  bool topmost = false;                   // topmost and set-foreground
};

MessageBoxAnswer showMessageBox(const MessageBoxRequest& request);

// Test seam: while set, boxes are not shown; each request is recorded and answered.
void setMessageBoxTestAnswer(std::optional<MessageBoxAnswer> answer);
const MessageBoxRequest& lastMessageBox();
int messageBoxCount();
