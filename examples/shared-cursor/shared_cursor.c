/* Shared cursor: two copies of this program, one hosting and one joining, each see the
 * other's cursor. Run it without arguments to host a game, or with the host's address to
 * join it (run.sh starts both on this computer). The mouse moves your cursor; with no
 * mouse in the window it circles by itself. Escape ends. */
#include "kestrel_runtime.h"

#define S(text) __ksStrConst(text)

static struct ksStr* address;

static struct ksStr* num(int n) { return __ksStrFromInt(n); }
static struct ksStr* cat(struct ksStr* a, struct ksStr* b) { return __ksStrConcat(a, b); }

static int startGame(void) {
  int start = _fmillisecs();
  if (_flen(__ksStrLoad(&address)) == 0) {
    return _fhostnetgame(S("Kestrel shared cursor"));
  }
  /* The host may still be starting: ask again for a while. */
  while (_fmillisecs() - start < 15000) {
    if (_fjoinnetgame(S("Kestrel shared cursor"), __ksStrLoad(&address))) {
      return 1;
    }
    _fdelay(250);
  }
  return 0;
}

void __MAIN(void) {
  int me, x, y, angle, comma, received = 0, lastReport, otherX = -100, otherY = -100;
  struct ksStr* text;
  __ksStrStore(&address, _ftrim(_fcommandline()));
  _fgraphics(400, 300, 0, 2);
  _fsetbuffer(_fbackbuffer());
  _fapptitle(S("Kestrel shared cursor"), S(""));
  if (!startGame()) {
    _fdebuglog(S("No game to join"));
    return;
  }
  me = _fcreatenetplayer(_flen(__ksStrLoad(&address)) == 0 ? S("host") : S("guest"));
  _fdebuglog(cat(S("Playing as "), _fnetplayername(me)));
  lastReport = _fmillisecs();
  while (!_fkeyhit(1)) {
    x = _fmousex();
    y = _fmousey();
    if (x <= 0 && y <= 0) {
      angle = (_fmillisecs() / 8) % 360;
      x = 200 + (int)(_fcos((float)angle) * 100.0f);
      y = 150 + (int)(_fsin((float)angle) * 100.0f);
    }
    _fsendnetmsg(1, cat(cat(num(x), S(",")), num(y)), me, 0, 0);
    while (_frecvnetmsg()) {
      switch (_fnetmsgtype()) {
        case 100: _fdebuglog(cat(_fnetplayername(_fnetmsgfrom()), S(" joined"))); break;
        case 101: _fdebuglog(S("The other player left")); otherX = -100; break;
        case 102: _fdebuglog(S("This computer is now the host")); break;
        case 200: _fdebuglog(S("The game was lost")); break;
        case 1:
          text = _fnetmsgdata();
          comma = _finstr(text, S(","), 1);
          otherX = __ksStrToInt(_fleft(text, comma - 1));
          otherY = __ksStrToInt(_fmid(text, comma + 1, -1));
          ++received;
          break;
      }
    }
    if (_fmillisecs() - lastReport >= 2000) {
      _fdebuglog(cat(S("Cursor positions received: "), num(received)));
      lastReport = _fmillisecs();
    }
    _fcls();
    _fcolor(255, 255, 255);
    _ftext(200, 10, S("Shared cursor: yours is green"), 1, 0);
    _fcolor(0, 200, 0);
    _foval(x - 8, y - 8, 16, 16, 1);
    _fcolor(220, 40, 40);
    _foval(otherX - 8, otherY - 8, 16, 16, 1);
    _fflip(1);
  }
}
