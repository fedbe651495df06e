/* The demo program: sets its title, reads its command line, logs through DebugLog and
 * ends. Built into a module image and run by ksrun (`make demo`). */
#include "kestrel.h"

static struct ksStr* text(const char* literal) {
  return __ksStrConst(literal);
}

void __MAIN(void) {
  _fapptitle(text("Kestrel demo"), text(""));
  _fdebuglog(text("Hello from a Kestrel program"));
  _fdebuglog(__ksStrConcat(text("Command line: "), _fcommandline()));
  _fdebuglog(__ksStrConcat(text("Operating system: "), _fsystemproperty(text("os"))));
  int start = _fmillisecs();
  _fdelay(50);
  int waited = _fmillisecs() - start;
  _fdebuglog(__ksStrConcat(text("Waited at least 50 ms: "), __ksStrFromInt(waited >= 50)));
}
