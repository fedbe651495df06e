/* A joiner of the three-peer script, its player named by the command line. When it
 * becomes host it stays two seconds (a second notice would show) and leaves. */
#include "mp_common.h"

void __MAIN(void) {
  int start, hosts = 0;
  say(cat(S("join "), num(joinWithRetry("three peers", 60000))));
  _fcreatenetplayer(_fcommandline());
  say(S("player created"));
  start = _fmillisecs();
  while (_fmillisecs() - start < 90000) {
    if (receiveUntil(102, 500)) {
      ++hosts;
      break;
    }
  }
  start = _fmillisecs();
  while (hosts > 0 && _fmillisecs() - start < 2000) {
    if (_frecvnetmsg()) {
      logMessage();
    } else {
      _fdelay(20);
    }
  }
  say(cat(S("host notices "), num(hosts)));
}
