#include "input/console_keys.h"

#include "input/input_commands.h"
#include "input/sys_input.h"

int32_t takeKeyPress() {
  return inputState.keyboard ? inputState.keyboard->nextQueued() : 0;
}

int32_t keyCharacter(int32_t code) {
  return inputState.manager ? inputState.manager->toAscii(code) : 0;
}

bool keyHeld(int32_t code) {
  return inputState.keyboard && inputState.keyboard->isDown(code) != 0;
}
