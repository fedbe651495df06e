/* Helpers of the multiplayer test programs: log lines the test reads back, and a
 * receive loop with a deadline. The programs run under ksrun; the test sets the query
 * port through KS_NETPLAY_QUERY_PORT. */
#ifndef MP_COMMON_H
#define MP_COMMON_H

#include "kestrel.h"

#define S(text) __ksStrConst(text)

static struct ksStr* num(int n) { return __ksStrFromInt(n); }
static struct ksStr* cat(struct ksStr* a, struct ksStr* b) { return __ksStrConcat(a, b); }
static void say(struct ksStr* line) { _fdebuglog(line); }

/* "recv <type> <sender name> <addressee name> <length> [<text>]" for the current message;
 * the text only when it is short. */
static void logMessage(void) {
  struct ksStr* line = cat(S("recv "), num(_fnetmsgtype()));
  line = cat(cat(line, S(" ")), _fnetplayername(_fnetmsgfrom()));
  line = cat(cat(line, S(" ")), _fnetplayername(_fnetmsgto()));
  line = cat(cat(line, S(" ")), num(_flen(_fnetmsgdata())));
  if (_flen(_fnetmsgdata()) > 0 && _flen(_fnetmsgdata()) <= 40) {
    line = cat(cat(line, S(" ")), _fnetmsgdata());
  }
  say(line);
}

/* Receives (logging each message) until one of `type` arrives or ms pass; 1 when it came. */
static int receiveUntil(int type, int ms) {
  int start = _fmillisecs();
  while (_fmillisecs() - start < ms) {
    if (_frecvnetmsg()) {
      logMessage();
      if (_fnetmsgtype() == type) {
        return 1;
      }
    } else {
      _fdelay(10);
    }
  }
  return 0;
}

/* Joins `name` on this computer, retrying while the host is not up yet. */
static int joinWithRetry(const char* name, int ms) {
  int start = _fmillisecs();
  while (_fmillisecs() - start < ms) {
    if (_fjoinnetgame(S(name), S("127.0.0.1")) == 1) {
      return 1;
    }
    _fdelay(200);
  }
  return 0;
}

#endif
