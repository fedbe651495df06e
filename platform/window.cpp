// The SDL side of the runtime window and its event queue.
#include "platform/window.h"

#include <SDL.h>

#include <cstdio>

#include "platform/scancodes.h"

namespace {

// First of four SDL user events: pause, resume, end, paint (in HostEventKind order).
Uint32 privateEventBase = 0;

SDL_Window* sdl(void* window) {
  return static_cast<SDL_Window*>(window);
}

void registerPrivateEvents() {
  if (privateEventBase == 0) {
    const Uint32 base = SDL_RegisterEvents(4);
    privateEventBase = (base == Uint32(-1)) ? 0 : base;
  }
}

unsigned heldButtons(Uint32 state) {
  unsigned held = 0;
  if (state & SDL_BUTTON_LMASK) {
    held |= 1;
  }
  if (state & SDL_BUTTON_RMASK) {
    held |= 2;
  }
  if (state & SDL_BUTTON_MMASK) {
    held |= 4;
  }
  return held;
}

int buttonNumber(Uint8 sdlButton) {
  switch (sdlButton) {
    case SDL_BUTTON_LEFT: return 1;
    case SDL_BUTTON_RIGHT: return 2;
    case SDL_BUTTON_MIDDLE: return 3;
    default: return 0;
  }
}

HostEvent translate(const SDL_Event& e) {
  HostEvent out;
  if (privateEventBase != 0 && e.type >= privateEventBase && e.type < privateEventBase + 4) {
    out.kind = HostEventKind(int(HostEventKind::Pause) + int(e.type - privateEventBase));
    return out;
  }
  switch (e.type) {
    case SDL_QUIT:
      out.kind = HostEventKind::Close;
      break;
    case SDL_WINDOWEVENT:
      out.window = e.window.windowID;
      switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE: out.kind = HostEventKind::Close; break;
        case SDL_WINDOWEVENT_EXPOSED: out.kind = HostEventKind::Paint; break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
        case SDL_WINDOWEVENT_RESTORED: out.kind = HostEventKind::Activate; break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
        case SDL_WINDOWEVENT_MINIMIZED: out.kind = HostEventKind::Deactivate; break;
        default: break;
      }
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      out.kind = e.type == SDL_KEYDOWN ? HostEventKind::KeyDown : HostEventKind::KeyUp;
      out.window = e.key.windowID;
      out.code = keyCodeFromScancode(e.key.keysym.scancode);
      out.repeat = e.key.repeat != 0;
      out.systemKey = (e.key.keysym.mod & KMOD_ALT) != 0;
      break;
    case SDL_MOUSEMOTION:
      out.kind = HostEventKind::MouseMove;
      out.window = e.motion.windowID;
      out.x = e.motion.x;
      out.y = e.motion.y;
      out.dx = e.motion.xrel;
      out.dy = e.motion.yrel;
      out.buttonsHeld = heldButtons(e.motion.state);
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      out.window = e.button.windowID;
      out.button = buttonNumber(e.button.button);
      if (out.button != 0) {
        out.kind = e.type == SDL_MOUSEBUTTONDOWN ? HostEventKind::MouseDown : HostEventKind::MouseUp;
        out.x = e.button.x;
        out.y = e.button.y;
        out.buttonsHeld = heldButtons(SDL_GetMouseState(nullptr, nullptr));
        if (e.type == SDL_MOUSEBUTTONUP) {
          out.buttonsHeld &= ~(1u << (out.button - 1));
        }
      }
      break;
    case SDL_MOUSEWHEEL: {
      out.kind = HostEventKind::MouseWheel;
      out.window = e.wheel.windowID;
      const int notches = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
      out.wheel = notches * 120;
      break;
    }
    default:
      break;
  }
  return out;
}

}  // namespace

bool platformStartVideo() {
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0) {
    // SIGINT and SIGTERM stay the host's: SDL would turn them into quit events that
    // outlive the run and keep the process alive.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
      // No display reachable: keep running without one rather than refuse to start.
      SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
      if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
        std::fprintf(stderr, "Kestrel runtime: no video: %s\n", SDL_GetError());
        return false;
      }
    }
  }
  registerPrivateEvents();
  return privateEventBase != 0;
}

void platformStopVideo() {
  SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
}

PlatformWindow::PlatformWindow(const std::string& title, bool topmost) {
  Uint32 flags = SDL_WINDOW_HIDDEN;
  if (topmost) {
    flags |= SDL_WINDOW_ALWAYS_ON_TOP;
  }
  window_ = SDL_CreateWindow(title.c_str(), 0, 0, 1, 1, flags);
}

PlatformWindow::~PlatformWindow() {
  if (window_) {
    SDL_DestroyWindow(sdl(window_));
  }
}

void PlatformWindow::setTitle(const std::string& title) {
  if (window_) {
    SDL_SetWindowTitle(sdl(window_), title.c_str());
  }
}

void PlatformWindow::resize(int width, int height) {
  if (window_) {
    SDL_SetWindowSize(sdl(window_), width, height);
  }
}

void PlatformWindow::show() {
  if (window_) {
    SDL_ShowWindow(sdl(window_));
  }
}

void PlatformWindow::hide() {
  if (window_) {
    SDL_HideWindow(sdl(window_));
  }
}

bool PlatformWindow::visible() const {
  return window_ && (SDL_GetWindowFlags(sdl(window_)) & SDL_WINDOW_SHOWN) != 0;
}

void PlatformWindow::position(int& x, int& y) const {
  x = y = 0;
  if (window_) {
    SDL_GetWindowPosition(sdl(window_), &x, &y);
  }
}

void PlatformWindow::move(int x, int y) {
  if (window_) {
    SDL_SetWindowPosition(sdl(window_), x, y);
  }
}

void PlatformWindow::setResizable(bool resizable) {
  if (window_) {
    SDL_SetWindowResizable(sdl(window_), resizable ? SDL_TRUE : SDL_FALSE);
  }
}

bool PlatformWindow::resizable() const {
  return window_ && (SDL_GetWindowFlags(sdl(window_)) & SDL_WINDOW_RESIZABLE) != 0;
}

void PlatformWindow::setBordered(bool bordered) {
  if (window_) {
    SDL_SetWindowBordered(sdl(window_), bordered ? SDL_TRUE : SDL_FALSE);
  }
}

bool PlatformWindow::bordered() const {
  return window_ && (SDL_GetWindowFlags(sdl(window_)) & SDL_WINDOW_BORDERLESS) == 0;
}

void PlatformWindow::frameSize(int& left, int& top, int& right, int& bottom) const {
  left = top = right = bottom = 0;
  if (window_ && SDL_GetWindowBordersSize(sdl(window_), &top, &left, &bottom, &right) != 0) {
    left = top = right = bottom = 0;
  }
}

int PlatformWindow::displayIndex() const {
  const int index = window_ ? SDL_GetWindowDisplayIndex(sdl(window_)) : -1;
  return index < 0 ? 0 : index;
}

std::string PlatformWindow::title() const {
  return window_ ? SDL_GetWindowTitle(sdl(window_)) : "";
}

void PlatformWindow::clientSize(int& width, int& height) const {
  width = height = 0;
  if (window_) {
    SDL_GetWindowSize(sdl(window_), &width, &height);
  }
}

void PlatformWindow::clientToScreen(int& x, int& y) const {
  int left = 0;
  int top = 0;
  if (window_) {
    SDL_GetWindowPosition(sdl(window_), &left, &top);
  }
  x += left;
  y += top;
}

void PlatformWindow::warpPointer(int screenX, int screenY) {
  SDL_WarpMouseGlobal(screenX, screenY);
}

void PlatformWindow::setCursorVisible(bool visible) {
  SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}

void PlatformWindow::captureMouse(bool capture) {
  SDL_CaptureMouse(capture ? SDL_TRUE : SDL_FALSE);
}

bool PlatformWindow::pointerInClient(int& x, int& y) const {
  if (!window_ || SDL_GetMouseFocus() != sdl(window_)) {
    return false;
  }
  SDL_GetMouseState(&x, &y);
  int width = 0;
  int height = 0;
  clientSize(width, height);
  return x >= 0 && x < width && y >= 0 && y < height;
}

unsigned PlatformWindow::id() const {
  return window_ ? SDL_GetWindowID(sdl(window_)) : 0;
}

void* PlatformWindow::nativeHandle() const {
  return window_;
}

bool pollHostEvent(HostEvent& event) {
  SDL_Event e;
  if (SDL_PollEvent(&e) == 0) {
    return false;
  }
  event = translate(e);
  return true;
}

void discardHostEvents() {
  SDL_PumpEvents();
  SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
}

bool waitHostEvent(HostEvent& event) {
  SDL_Event e;
  if (SDL_WaitEvent(&e) == 0) {
    return false;
  }
  event = translate(e);
  return true;
}

void postHostEvent(HostEventKind kind) {
  if (privateEventBase == 0 || int(kind) > int(HostEventKind::Paint)) {
    return;
  }
  SDL_Event e{};
  e.type = privateEventBase + Uint32(int(kind) - int(HostEventKind::Pause));
  SDL_PushEvent(&e);
}

void injectHostEvent(const HostEvent& event) {
  SDL_Event e{};
  switch (event.kind) {
    case HostEventKind::Pause:
    case HostEventKind::Resume:
    case HostEventKind::End:
    case HostEventKind::Paint:
      postHostEvent(event.kind);
      return;
    case HostEventKind::Close:
      e.type = SDL_WINDOWEVENT;
      e.window.event = SDL_WINDOWEVENT_CLOSE;
      e.window.windowID = event.window;
      break;
    case HostEventKind::Activate:
    case HostEventKind::Deactivate:
      e.type = SDL_WINDOWEVENT;
      e.window.event = event.kind == HostEventKind::Activate ? SDL_WINDOWEVENT_FOCUS_GAINED
                                                             : SDL_WINDOWEVENT_FOCUS_LOST;
      e.window.windowID = event.window;
      break;
    case HostEventKind::KeyDown:
    case HostEventKind::KeyUp:
      e.type = event.kind == HostEventKind::KeyDown ? SDL_KEYDOWN : SDL_KEYUP;
      e.key.keysym.scancode = SDL_Scancode(scancodeFromKeyCode(event.code));
      e.key.repeat = event.repeat ? 1 : 0;
      e.key.keysym.mod = event.systemKey ? KMOD_LALT : KMOD_NONE;
      e.key.windowID = event.window;
      break;
    case HostEventKind::MouseMove:
      e.type = SDL_MOUSEMOTION;
      e.motion.x = event.x;
      e.motion.y = event.y;
      e.motion.xrel = event.dx;
      e.motion.yrel = event.dy;
      e.motion.windowID = event.window;
      break;
    case HostEventKind::MouseDown:
    case HostEventKind::MouseUp: {
      static const Uint8 buttons[] = {0, SDL_BUTTON_LEFT, SDL_BUTTON_RIGHT, SDL_BUTTON_MIDDLE};
      e.type = event.kind == HostEventKind::MouseDown ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
      e.button.button = buttons[event.button & 3];
      e.button.x = event.x;
      e.button.y = event.y;
      e.button.windowID = event.window;
      break;
    }
    case HostEventKind::MouseWheel:
      e.type = SDL_MOUSEWHEEL;
      e.wheel.y = event.wheel / 120;
      e.wheel.windowID = event.window;
      break;
    case HostEventKind::Other:
      return;
  }
  SDL_PushEvent(&e);
}
