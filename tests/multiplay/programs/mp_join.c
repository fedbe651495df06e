/* The joining peer of the two-peer script: the players already there are reported as
 * joins, then nothing; then the host's messages; then the host leaves and this machine
 * takes over, reported once. */
#include "mp_common.h"

void __MAIN(void) {
  int carol, first, waited;
  say(cat(S("join "), num(joinWithRetry("kestrel test", 60000))));
  first = _frecvnetmsg();
  logMessage();
  say(cat(S("r1 "), num(first)));
  say(cat(S("r2 "), num(_frecvnetmsg())));
  logMessage();
  say(cat(S("r3 "), num(_frecvnetmsg())));
  say(cat(cat(S("empty "), num(_fnetmsgtype())), cat(S(" "), num(_fnetmsgfrom()))));
  carol = _fcreatenetplayer(S("carol"));
  say(cat(S("carol local "), num(_fnetplayerlocal(carol))));
  receiveUntil(10, 60000);
  _fsendnetmsg(11, S("bye"), carol, 0, 1);
  if (receiveUntil(102, 60000)) {
    say(S("became host"));
  }
  /* Nothing more may come: a second host notice would show here. */
  waited = _fmillisecs();
  while (_fmillisecs() - waited < 2000) {
    if (_frecvnetmsg()) {
      logMessage();
    } else {
      _fdelay(20);
    }
  }
  say(S("done"));
}
