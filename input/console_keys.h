// The keyboard as the console's line editor reads it, through the run's input manager.
// Without one there are no keys.
#pragma once
#include <cstdint>

// The next queued key press (polling the keyboard), or 0 when there is none.
int32_t takeKeyPress();
// The character a key code types now (the translation GetKey uses), or 0.
int32_t keyCharacter(int32_t code);
// Whether the key is held now (polling the keyboard).
bool keyHeld(int32_t code);
