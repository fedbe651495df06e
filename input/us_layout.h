// Key codes to characters as a US keyboard types them: unshifted, with Shift, with Ctrl
// and with both. Caps Lock and Num Lock are not consulted, so the keypad's digit keys
// are its navigation keys and type nothing.
#pragma once
#include <cstdint>

struct KeyModifiers {
  bool shift = false;
  bool ctrl = false;
  bool alt = false;
};

// The character (1 to 255) of a key code with the modifiers held, or 0 when it types
// none. Alt alone does not change the character; Ctrl with Alt types nothing.
int32_t usLayoutCharacter(int32_t code, KeyModifiers modifiers);
