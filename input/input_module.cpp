// The input module's create and destroy routines: the input manager is made for the run
// and its devices taken; its commands are in input_commands.cpp.
#include "basic/ks_error.h"
#include "host/sys_runtime.h"
#include "input/input_commands.h"
#include "input/sys_input.h"
#include "runtime/modules.h"

bool input_create() {
  InputState& in = inputState;
  in = InputState{};
  sysInput* manager = currentRuntime ? sysInput::create(*currentRuntime) : nullptr;
  if (!manager) {
    return false;
  }
  in.manager = manager;
  in.keyboard = &manager->keyboard();
  in.mouse = &manager->mouse();
  for (const std::unique_ptr<sysJoystick>& stick : manager->joysticks()) {
    in.joysticks.push_back(stick.get());
  }
  return true;
}

void input_destroy() {
  InputState& in = inputState;
  in.joysticks.clear();
  if (in.manager && currentRuntime && currentRuntime->input == in.manager) {
    delete in.manager;  // clears the runtime's pointer
  }
  in = InputState{};
}
