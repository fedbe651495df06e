// What the runtime window does with each event: the close prompt, pointer hiding,
// full-screen activation driving pause and resume, and input fed to the devices
// while the display is windowed.
#include "host/sys_runtime.h"
#include "platform/message_box.h"

void sysRuntime::dispatch(const HostEvent& event) {
  if (hostState.busy) {
    return;
  }
  switch (event.kind) {
    case HostEventKind::Paint:
      paint();
      return;
    case HostEventKind::Close:
      handleClose();
      return;
    default:
      break;
  }
  if (hostState.displayKind == DisplayKind::FullScreen) {
    dispatchFullScreen(event);
  } else {
    dispatchWindowed(event);
  }
}

void sysRuntime::handleClose() {
  if (!closePrompt_.empty()) {
    MessageBoxRequest box;
    box.owner = window_.get();
    box.caption = title_;
    box.text = closePrompt_;
    box.okCancel = true;
    box.warningIcon = true;
    box.topmost = true;
    if (showMessageBox(box) != MessageBoxAnswer::Ok) {
      return;
    }
  }
  // Closing ends the run without telling the debugger.
  hostState.debugger.store(nullptr);
  hostState.running.store(false);
  postHostEvent(HostEventKind::End);
}

void sysRuntime::dispatchFullScreen(const HostEvent& event) {
  switch (event.kind) {
    case HostEventKind::Deactivate:
      if (!hostState.paused) {
        suspend();
      }
      return;
    case HostEventKind::Activate:
      if (hostState.paused) {
        resume();
      }
      if (!hostState.paused && input) {
        input->acquireDevices();
      }
      return;
    case HostEventKind::KeyUp:
      if (event.systemKey && event.code == 15) {  // the Tab of Alt+Tab
        if (!hostState.paused) {
          suspend();
        }
        return;
      }
      break;
    default:
      break;
  }
  if (!hostState.paused && input) {
    input->acquireDevices();
  }
}

void sysRuntime::dispatchWindowed(const HostEvent& event) {
  if (hostState.paused || !input) {
    return;
  }
  switch (event.kind) {
    case HostEventKind::KeyDown:
      if (!event.repeat && event.code != 0) {
        input->keyChanged(event.code, true);
      }
      break;
    case HostEventKind::KeyUp:
      if (event.code != 0) {
        input->keyChanged(event.code, false);
      }
      break;
    case HostEventKind::MouseMove: {
      if (!graphics) {
        break;
      }
      const int width = graphics->width();
      const int height = graphics->height();
      int x = event.x;
      int y = event.y;
      if (hostState.displayKind == DisplayKind::ScaledWindow) {
        int clientWidth = 0;
        int clientHeight = 0;
        window_->clientSize(clientWidth, clientHeight);
        if (clientWidth > 0 && clientHeight > 0) {
          x = x * width / clientWidth;
          y = y * height / clientHeight;
        }
      }
      x = x < 0 ? 0 : (x > width - 1 ? width - 1 : x);
      y = y < 0 ? 0 : (y > height - 1 ? height - 1 : y);
      input->mouseMoved(x, y);
      break;
    }
    case HostEventKind::MouseDown:
      input->mouseButtonChanged(event.button, true);
      window_->captureMouse(true);
      break;
    case HostEventKind::MouseUp:
      input->mouseButtonChanged(event.button, false);
      if (event.buttonsHeld == 0) {
        window_->captureMouse(false);
      }
      break;
    case HostEventKind::MouseWheel:
      if (graphics) {
        input->mouseWheel(event.wheel);
      }
      break;
    default:
      break;
  }
}
