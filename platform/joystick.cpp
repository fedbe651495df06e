// The SDL side of joysticks and game pads.
#include "platform/joystick.h"

#include <SDL.h>

namespace {

SDL_Joystick* sdl(void* joystick) {
  return static_cast<SDL_Joystick*>(joystick);
}

// SDL's axes run from -32768 to 32767.
int rawAxis(SDL_Joystick* joystick, int axis) {
  if (axis >= SDL_JoystickNumAxes(joystick)) {
    return 32768;
  }
  return int(SDL_JoystickGetAxis(joystick, axis)) + 32768;
}

}  // namespace

JoystickService::JoystickService() : started_(SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0) {
  if (started_) {
    SDL_JoystickEventState(SDL_IGNORE);
    SDL_GameControllerEventState(SDL_IGNORE);
  }
}

JoystickService::~JoystickService() {
  if (started_) {
    SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
  }
}

std::vector<std::unique_ptr<PlatformJoystick>> JoystickService::openAll() {
  std::vector<std::unique_ptr<PlatformJoystick>> joysticks;
  if (!started_) {
    return joysticks;
  }
  SDL_JoystickUpdate();
  const int count = SDL_NumJoysticks();
  for (int index = 0; index < count; ++index) {
    SDL_Joystick* joystick = SDL_JoystickOpen(index);
    if (!joystick) {
      continue;
    }
    const bool gamePad = SDL_IsGameController(index) ||
                         SDL_JoystickGetDeviceType(index) == SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    joysticks.push_back(std::unique_ptr<PlatformJoystick>(new PlatformJoystick(joystick, gamePad)));
  }
  return joysticks;
}

PlatformJoystick::~PlatformJoystick() {
  SDL_JoystickClose(sdl(joystick_));
}

bool PlatformJoystick::attached() const {
  return SDL_JoystickGetAttached(sdl(joystick_)) == SDL_TRUE;
}

bool PlatformJoystick::poll() {
  SDL_JoystickUpdate();
  return attached();
}

void PlatformJoystick::read(JoystickReading& reading) const {
  SDL_Joystick* joystick = sdl(joystick_);
  for (int axis = 0; axis < JoystickReading::kAxes; ++axis) {
    reading.axes[axis] = rawAxis(joystick, axis);
  }
  const int buttons = SDL_JoystickNumButtons(joystick);
  for (int button = 0; button < JoystickReading::kButtons; ++button) {
    reading.buttons[button] = button < buttons && SDL_JoystickGetButton(joystick, button) != 0;
  }
}
