/* The hosting peer of the two-peer script: two local players, then, once the joiner's
 * player is there, messages of every kind of type to it; leaves when it says bye. */
#include "mp_common.h"

void __MAIN(void) {
  int alice, bob, carol;
  say(cat(S("host "), num(_fhostnetgame(S("kestrel test")))));
  alice = _fcreatenetplayer(S("alice"));
  bob = _fcreatenetplayer(S("bob"));
  say(cat(cat(S("local "), num(_fnetplayerlocal(alice))), num(_fnetplayerlocal(bob))));
  if (!receiveUntil(100, 60000)) {
    say(S("no joiner"));
    return;
  }
  carol = _fnetmsgfrom();
  say(cat(S("joined "), _fnetplayername(carol)));
  say(cat(S("sent "), num(_fsendnetmsg(7, S("hello"), alice, 0, 1))));
  _fsendnetmsg(300, S("three hundred"), alice, 0, 1);
  _fsendnetmsg(200, S("two hundred"), alice, 0, 1);
  _fsendnetmsg(0, S("zero"), alice, 0, 1);
  _fsendnetmsg(256, S("wrapped"), alice, 0, 1);
  _fsendnetmsg(5, S("local"), bob, alice, 1);
  _fsendnetmsg(6, S("local to all"), bob, 0, 1);
  say(cat(S("long "), num(_fsendnetmsg(8, _fstring(S("x"), 2000), alice, carol, 1))));
  _fsendnetmsg(9, S("unreliable"), bob, carol, 0);
  _fsendnetmsg(10, S("end of script"), alice, 0, 1);
  if (receiveUntil(11, 60000)) {
    say(S("bye received"));
  }
  _fstopnetgame();
  say(S("stopped"));
}
