#include "platform/message_box.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/window.h"

namespace {

std::optional<MessageBoxAnswer> testAnswer;
MessageBoxRequest lastRequest;
int shownCount = 0;

bool displayAvailable() {
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver) {
    return std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0;
  }
  const char* display = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (display && *display) || (wayland && *wayland);
}

}  // namespace

MessageBoxAnswer showMessageBox(const MessageBoxRequest& request) {
  lastRequest = request;
  ++shownCount;
  if (testAnswer) {
    return *testAnswer;
  }
  if (!displayAvailable()) {
    std::fprintf(stderr, "%s: %s\n", request.caption.empty() ? "Error" : request.caption.c_str(),
                 request.text.c_str());
    return MessageBoxAnswer::Ok;
  }
  SDL_MessageBoxButtonData buttons[2] = {
      {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "OK"},
      {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "Cancel"},
  };
  SDL_MessageBoxData data{};
  data.flags = request.errorIcon     ? SDL_MESSAGEBOX_ERROR
               : request.warningIcon ? SDL_MESSAGEBOX_WARNING
                                     : SDL_MESSAGEBOX_INFORMATION;
  data.window = request.owner ? static_cast<SDL_Window*>(request.owner->nativeHandle()) : nullptr;
  data.title = request.caption.empty() ? "Error" : request.caption.c_str();
  data.message = request.text.c_str();
  data.numbuttons = request.okCancel ? 2 : 1;
  data.buttons = buttons;
  int pressed = 1;
  if (SDL_ShowMessageBox(&data, &pressed) != 0) {
    std::fprintf(stderr, "%s: %s\n", data.title, data.message);
    return MessageBoxAnswer::Ok;
  }
  return pressed == 1 ? MessageBoxAnswer::Ok : MessageBoxAnswer::Cancel;
}

void setMessageBoxTestAnswer(std::optional<MessageBoxAnswer> answer) {
  testAnswer = answer;
}

const MessageBoxRequest& lastMessageBox() {
  return lastRequest;
}

int messageBoxCount() {
  return shownCount;
}
