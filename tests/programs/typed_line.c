/* Reads a line with Input, then a key with WaitKey and a mouse button with WaitMouse,
 * logging each: the real-window test types and clicks into its window with xdotool. */
#include "kestrel.h"

static struct ksStr* text(const char* literal) {
  return __ksStrConst(literal);
}

void __MAIN(void) {
  _fgraphics(320, 200, 0, 2);
  /* The title tells the test that the window it types into is the final one. */
  _fapptitle(text("Typing test"), text(""));
  _fdebuglog(__ksStrConcat(text("Typed: "), _finput(text("Type: "))));
  _fdebuglog(__ksStrConcat(text("Key: "), __ksStrFromInt(_fwaitkey())));
  int button = _fwaitmouse();
  struct ksStr* line = __ksStrConcat(text("Button: "), __ksStrFromInt(button));
  line = __ksStrConcat(line, __ksStrConcat(text(" at "), __ksStrFromInt(_fmousex())));
  line = __ksStrConcat(line, __ksStrConcat(text(","), __ksStrFromInt(_fmousey())));
  _fdebuglog(line);
}
