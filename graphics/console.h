// Console output's preparation and completion, shared by Write, Print and Input.
#pragma once

class sysCanvas;

// Opens the default 400 x 300 window if no display mode was chosen, sets the front buffer
// up for console output (origin, handle and viewport kept aside) and scrolls it when the
// next line would not fit. Returns the front buffer.
sysCanvas& beginConsoleOutput();
// Puts back what the console changed on the front buffer and pumps events; ends the
// program quietly when it must stop.
void endConsoleOutput();
