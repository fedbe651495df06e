/* The host of the three-peer script: waits for both joiners' players, then leaves. */
#include "mp_common.h"

void __MAIN(void) {
  int alice, joins = 0, start = _fmillisecs();
  say(cat(S("host "), num(_fhostnetgame(S("three peers")))));
  alice = _fcreatenetplayer(S("alice"));
  while (joins < 2 && _fmillisecs() - start < 90000) {
    if (receiveUntil(100, 1000)) {
      ++joins;
    }
  }
  _fsendnetmsg(12, S("go"), alice, 0, 1);
  _fdelay(500);
  _fstopnetgame();
  say(S("stopped"));
}
