// The runtime's key codes: set-1 scan codes with bit 7 for extended keys
// (1 Esc, 28 Enter, 157 right Ctrl, 200 Up ...). 0 for keys without a code.
#pragma once

int keyCodeFromScancode(int sdlScancode);
int scancodeFromKeyCode(int keyCode);  // the inverse, for injected test events
