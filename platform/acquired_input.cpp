// The SDL side of the acquired mode: event watches see every event as it is queued, so
// the devices keep what they need even when the window's pump takes the events first.
#include "platform/acquired_input.h"

#include <SDL.h>

#include "platform/scancodes.h"
#include "platform/window.h"

struct AcquiredInputWatch {
  static int keyboard(void* self, SDL_Event* event) {
    auto& keyboard = *static_cast<AcquiredKeyboard*>(self);
    if ((event->type != SDL_KEYDOWN && event->type != SDL_KEYUP) || event->key.repeat != 0) {
      return 0;
    }
    const int code = keyCodeFromScancode(event->key.keysym.scancode);
    if (code == 0 || keyboard.count_ == AcquiredKeyboard::kBufferSize) {
      return 0;
    }
    KeyChange& change = keyboard.buffer_[(keyboard.first_ + keyboard.count_) % AcquiredKeyboard::kBufferSize];
    change.code = code;
    change.down = event->type == SDL_KEYDOWN;
    ++keyboard.count_;
    return 0;
  }

  static int mouse(void* self, SDL_Event* event) {
    MouseReading& state = static_cast<AcquiredMouse*>(self)->state_;
    switch (event->type) {
      case SDL_MOUSEMOTION:
        state.dx += event->motion.xrel;
        state.dy += event->motion.yrel;
        break;
      case SDL_MOUSEWHEEL: {
        const int notches = event->wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event->wheel.y : event->wheel.y;
        state.wheel += notches * 120;
        break;
      }
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP: {
        const int index = event->button.button == SDL_BUTTON_LEFT    ? 0
                          : event->button.button == SDL_BUTTON_RIGHT ? 1
                          : event->button.button == SDL_BUTTON_MIDDLE ? 2
                                                                      : -1;
        if (index >= 0) {
          state.buttons[index] = event->type == SDL_MOUSEBUTTONDOWN;
        }
        break;
      }
      default:
        break;
    }
    return 0;
  }
};

namespace {

SDL_Window* sdlWindow(PlatformWindow& window) {
  return static_cast<SDL_Window*>(window.nativeHandle());
}

}  // namespace

AcquiredKeyboard::~AcquiredKeyboard() {
  unacquire();
}

bool AcquiredKeyboard::acquire() {
  if (acquired_) {
    return true;
  }
  first_ = 0;
  count_ = 0;
  if (SDL_Window* window = sdlWindow(window_)) {
    SDL_SetWindowKeyboardGrab(window, SDL_TRUE);
  }
  SDL_AddEventWatch(&AcquiredInputWatch::keyboard, this);
  acquired_ = true;
  return true;
}

void AcquiredKeyboard::unacquire() {
  if (!acquired_) {
    return;
  }
  SDL_DelEventWatch(&AcquiredInputWatch::keyboard, this);
  if (SDL_Window* window = sdlWindow(window_)) {
    SDL_SetWindowKeyboardGrab(window, SDL_FALSE);
  }
  // The keys still queued for the window were the device's; the window must not feed
  // them to the keyboard a second time once it is released.
  SDL_FlushEvents(SDL_KEYDOWN, SDL_KEYUP);
  acquired_ = false;
}

int AcquiredKeyboard::read(KeyChange* changes, int max) {
  if (!acquired_) {
    return 0;
  }
  SDL_PumpEvents();
  int taken = 0;
  while (taken < max && count_ > 0) {
    changes[taken++] = buffer_[first_];
    first_ = (first_ + 1) % kBufferSize;
    --count_;
  }
  return taken;
}

AcquiredMouse::~AcquiredMouse() {
  unacquire();
}

bool AcquiredMouse::acquire() {
  if (acquired_) {
    return true;
  }
  state_ = MouseReading{};
  const Uint32 held = SDL_GetMouseState(nullptr, nullptr);
  state_.buttons[0] = (held & SDL_BUTTON_LMASK) != 0;
  state_.buttons[1] = (held & SDL_BUTTON_RMASK) != 0;
  state_.buttons[2] = (held & SDL_BUTTON_MMASK) != 0;
  // Headless drivers have no relative mode; their motion events carry the movement anyway.
  SDL_SetRelativeMouseMode(SDL_TRUE);
  SDL_AddEventWatch(&AcquiredInputWatch::mouse, this);
  acquired_ = true;
  return true;
}

void AcquiredMouse::unacquire() {
  if (!acquired_) {
    return;
  }
  SDL_DelEventWatch(&AcquiredInputWatch::mouse, this);
  SDL_SetRelativeMouseMode(SDL_FALSE);
  SDL_FlushEvents(SDL_MOUSEMOTION, SDL_MOUSEWHEEL);
  acquired_ = false;
}

void AcquiredMouse::read(MouseReading& reading) {
  if (acquired_) {
    SDL_PumpEvents();
  }
  reading = state_;
  state_.dx = 0;
  state_.dy = 0;
  state_.wheel = 0;
}
