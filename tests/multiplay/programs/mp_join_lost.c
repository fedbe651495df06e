/* Joins the game of mp_host_hang and waits for the session to be lost. */
#include "mp_common.h"

void __MAIN(void) {
  say(cat(S("join "), num(joinWithRetry("lost game", 60000))));
  _fcreatenetplayer(S("carol"));
  say(S("player created"));
  if (receiveUntil(200, 90000)) {
    say(S("session lost"));
  }
}
