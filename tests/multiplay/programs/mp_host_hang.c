/* A host that stops answering without leaving: the test kills it once its joiner is in. */
#include "mp_common.h"

void __MAIN(void) {
  int alice;
  say(cat(S("host "), num(_fhostnetgame(S("lost game")))));
  alice = _fcreatenetplayer(S("alice"));
  if (receiveUntil(100, 60000)) {
    say(S("ready"));
  }
  (void)alice;
  for (;;) {
    _fdelay(100);
  }
}
