// sysRuntime: creation and destruction, the message pump, pause and resume, the end
// and error reports, and the debugger relays.
#include "host/sys_runtime.h"

#include "host/sys_timer.h"
#include "platform/clock.h"
#include "runtime/runtime_interface.h"

HostState hostState;

namespace {

constexpr const char* kWindowTitle = "Kestrel Runtime Window";

Debugger* attachedDebugger() {
  return hostState.debugger.load();
}

}  // namespace

sysRuntime::sysRuntime(void* instanceHandle, const std::string& args, int windowFlags)
    : instance(instanceHandle), args_(args) {
  const std::string title = (windowFlags & 2) ? " " : kWindowTitle;
  window_ = std::make_unique<PlatformWindow>(title, (windowFlags & 1) != 0);
}

sysRuntime* sysRuntime::create(void* instance, const std::string& args, Debugger* debugger,
                               int windowFlags) {
  if (hostState.current) {
    return nullptr;
  }
  if (!platformStartVideo()) {
    return nullptr;
  }
  // Whatever was queued since the last run began to end (its window's last events, a
  // request made as it ended) is no one's.
  discardHostEvents();
  sysRuntime* runtime = new sysRuntime(instance, args, windowFlags);
  const std::lock_guard<std::mutex> lock(hostState.lifecycle);
  hostState.debugger.store(debugger);
  hostState.displayKind = DisplayKind::None;
  hostState.paused = false;
  hostState.busy = false;
  hostState.running.store(true);
  hostState.current = runtime;
  return runtime;
}

void sysRuntime::destroy(sysRuntime* runtime) {
  if (!runtime || runtime != hostState.current) {
    return;
  }
  {
    // From here on requests find no run; those made before stay in the queue, which
    // the next run's start empties.
    const std::lock_guard<std::mutex> lock(hostState.lifecycle);
    hostState.current = nullptr;
  }
  delete runtime;
}

sysRuntime::~sysRuntime() {
  libraries_.clear();
  for (sysTimer* timer : timers_) {
    delete timer;
  }
  timers_.clear();
  delete audio;
  audio = nullptr;
  delete graphics;
  graphics = nullptr;
  delete input;
  input = nullptr;
  delete fileSystem;
  fileSystem = nullptr;
  window_.reset();
}

bool sysRuntime::pollEvents() {
  ++pumpCount_;
  for (;;) {
    HostEvent event;
    if (hostState.paused && hostState.running.load()) {
      if (!waitHostEvent(event)) {
        return hostState.running.load();
      }
    } else if (!pollHostEvent(event)) {
      return hostState.running.load();
    }
    switch (event.kind) {
      case HostEventKind::Pause:
        if (!hostState.paused) {
          pauseProgram();
        }
        break;
      case HostEventKind::Resume:
        if (hostState.paused) {
          resumeProgram();
        }
        break;
      case HostEventKind::End:
        break;  // only wakes a blocked wait
      default:
        dispatch(event);
        break;
    }
  }
}

bool sysRuntime::delay(int milliseconds) {
  const uint32_t deadline = monotonicMillis() + uint32_t(milliseconds);
  for (;;) {
    if (!pollEvents()) {
      return false;
    }
    const int32_t remaining = int32_t(deadline - monotonicMillis());
    if (remaining <= 0) {
      return true;
    }
    sleepMillis(remaining < 100 ? remaining : 100);
  }
}

void sysRuntime::stopProgram() {
  if (!hostState.paused) {
    pauseProgram();
  }
}

// The window system's activation change and the direct call end in the same
// suspend or resume, so both are made directly here.
void sysRuntime::pauseProgram() {
  suspend();
}

void sysRuntime::resumeProgram() {
  resume();
}

void sysRuntime::suspend() {
  hostState.busy = true;
  if (hostState.displayKind == DisplayKind::FullScreen) {
    if (graphics) {
      graphics->backupSurfaces();
    }
    if (input) {
      input->releaseDevices();
    }
  }
  hostState.busy = false;
  hostState.paused = true;
  if (Debugger* debugger = attachedDebugger()) {
    debugger->onPause();
  }
}

void sysRuntime::resume() {
  hostState.busy = true;
  if (hostState.displayKind == DisplayKind::FullScreen) {
    if (input) {
      input->acquireDevices();
    }
    if (graphics) {
      graphics->restoreSurfaces();
    }
  }
  hostState.paused = false;
  hostState.busy = false;
  if (Debugger* debugger = attachedDebugger()) {
    debugger->onResume();
  }
}

namespace {

// Detaches the debugger and stops the program; returns the detached debugger.
Debugger* endRun(sysRuntime& runtime) {
  Debugger* debugger = hostState.debugger.exchange(nullptr);
  if (!debugger) {
    return nullptr;
  }
  hostState.running.store(false);
  postHostEvent(HostEventKind::End);
  if (!hostState.paused) {
    runtime.pauseProgram();
  }
  return debugger;
}

}  // namespace

void sysRuntime::reportEnd(const char* text) {
  if (Debugger* debugger = endRun(*this)) {
    debugger->onEnd(text);
  }
}

void sysRuntime::reportError(const char* text) {
  if (Debugger* debugger = endRun(*this)) {
    debugger->onRuntimeError(text);
  }
}

void sysRuntime::debugStatement(int a, int b) {
  if (Debugger* debugger = attachedDebugger()) {
    debugger->onStatement(a, b);
  }
}

void sysRuntime::debugEnter(int a, int b, int c) {
  if (Debugger* debugger = attachedDebugger()) {
    debugger->onEnterFrame(a, b, c);
  }
}

void sysRuntime::debugLeave() {
  if (Debugger* debugger = attachedDebugger()) {
    debugger->onLeaveFrame();
  }
}

void sysRuntime::debugLog(const char* text) {
  if (Debugger* debugger = attachedDebugger()) {
    debugger->onLog(text);
  }
}

void sysRuntime::setTitle(const std::string& title, const std::string& prompt) {
  title_ = title;
  closePrompt_ = prompt;
  window_->setTitle(title);
}

void sysRuntime::setPointerVisible(bool visible) {
  if (visible == pointerVisible_) {
    return;
  }
  pointerVisible_ = visible;
  if (hostState.displayKind == DisplayKind::ScaledWindow || hostState.displayKind == DisplayKind::Window) {
    window_->setCursorVisible(visible);
  }
}

void sysRuntime::movePointer(int x, int y) {
  switch (hostState.displayKind) {
    case DisplayKind::ScaledWindow: {
      int clientWidth = 0;
      int clientHeight = 0;
      window_->clientSize(clientWidth, clientHeight);
      if (graphics && graphics->width() > 0 && graphics->height() > 0) {
        x = x * clientWidth / graphics->width();
        y = y * clientHeight / graphics->height();
      }
      window_->clientToScreen(x, y);
      break;
    }
    case DisplayKind::Window:
      window_->clientToScreen(x, y);
      break;
    case DisplayKind::None:
    case DisplayKind::FullScreen:
      break;
  }
  window_->warpPointer(x, y);
}

void sysRuntime::paint() {
  if (graphics && (hostState.displayKind == DisplayKind::ScaledWindow ||
                   hostState.displayKind == DisplayKind::Window)) {
    graphics->paint();
  }
}
